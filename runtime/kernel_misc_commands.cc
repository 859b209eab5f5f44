// The kernel's number commands and its clipboard, message and memory commands.
#include <cmath>
#include <cstring>

#include "platform/clipboard.h"
#include "runtime/application.h"
#include "runtime/command_args.h"
#include "runtime/errors.h"
#include "runtime/kernel_commands.h"

namespace rt::commands {

void IntDivide(ArgRecord* result, int32_t count, ArgRecord* args) {
  double v = cmd::NumberOf(cmd::Arg(count, args, 0));
  for (int32_t i = 1; i < count; ++i) {
    double divisor = cmd::NumberOf(args[i]);
    if (divisor == 0) ReportRuntimeError("不能整除于零", 0, 0, 0);
    v = std::trunc(v / divisor);
  }
  result->setF64(v);
}

void Remainder(ArgRecord* result, int32_t count, ArgRecord* args) {
  double v = cmd::NumberOf(cmd::Arg(count, args, 0));
  for (int32_t i = 1; i < count; ++i) {
    double divisor = cmd::NumberOf(args[i]);
    if (divisor == 0) ReportRuntimeError("不能求余数于零", 0, 0, 0);
    v = std::fmod(v, divisor);
  }
  result->setF64(v);
}

void BitAnd(ArgRecord* result, int32_t count, ArgRecord* args) {
  uint32_t v = static_cast<uint32_t>(cmd::IntOf(cmd::Arg(count, args, 0)));
  for (int32_t i = 1; i < count; ++i) v &= static_cast<uint32_t>(cmd::IntOf(args[i]));
  result->setI32(static_cast<int32_t>(v));
}

void ShiftLeft(ArgRecord* result, int32_t count, ArgRecord* args) {
  uint32_t v = static_cast<uint32_t>(cmd::IntOf(cmd::Arg(count, args, 0)));
  uint32_t n = static_cast<uint32_t>(cmd::IntOf(cmd::Arg(count, args, 1))) & 31;
  result->setI32(static_cast<int32_t>(v << n));
}

void ShiftRight(ArgRecord* result, int32_t count, ArgRecord* args) {
  int32_t v = cmd::IntOf(cmd::Arg(count, args, 0));
  uint32_t n = static_cast<uint32_t>(cmd::IntOf(cmd::Arg(count, args, 1))) & 31;
  result->setI32(v >> n);  // arithmetic: the sign bit repeats
}

void Abs(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->setF64(std::fabs(cmd::NumberOf(cmd::Arg(count, args, 0))));
}

void SetClipboardText(ArgRecord* result, int32_t count, ArgRecord* args) {
  const char* t = reinterpret_cast<const char*>(cmd::TextOf(cmd::Arg(count, args, 0)));
  result->setBool(platform::SetClipboardText(t));
}

void ProcessEvents(ArgRecord* /*result*/, int32_t /*count*/, ArgRecord* /*args*/) { rt::ProcessEvents(); }

void ReadInteger(ArgRecord* result, int32_t count, ArgRecord* args) {
  int32_t v;
  std::memcpy(&v, reinterpret_cast<const void*>(cmd::AddressOf(cmd::Arg(count, args, 0))), sizeof v);
  result->setI32(v);
}

void WriteMemory(ArgRecord* /*result*/, int32_t count, ArgRecord* args) {
  const ArgRecord& value = cmd::Arg(count, args, 0);
  auto* target = reinterpret_cast<unsigned char*>(cmd::AddressOf(cmd::Arg(count, args, 1)));
  const unsigned char* data = nullptr;
  size_t n = 0;
  TypeCode type = value.type();
  if (IsArrayType(type)) {
    // Only byte arrays (a constant byte set passed as one among them) are written.
    if (BaseType(type) != kTypeByte || value.ptr() == nullptr) return;
    data = ArrayElements(value.ptr());
    n = static_cast<size_t>(ElementCount(value.ptr()));
  } else if (type == kTypeText) {
    data = cmd::TextOf(value);
    n = std::strlen(reinterpret_cast<const char*>(data)) + 1;
  } else if (type == kTypeBytes) {
    const unsigned char* block = cmd::BytesOf(value);
    data = ByteSetData(block);
    n = static_cast<size_t>(rt::ByteSetLength(block));
  } else if (IsSystemType(type)) {
    data = value.value;
    n = cmd::ValueWidth(type);
  }
  if (cmd::Given(count, args, 2)) {
    int32_t length = cmd::IntOf(args[2]);
    if (length >= 0 && static_cast<size_t>(length) <= n) n = static_cast<size_t>(length);
  }
  if (n > 0) std::memmove(target, data, n);
}

}  // namespace rt::commands
