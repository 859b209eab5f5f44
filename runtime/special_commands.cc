// The special-functions library's commands: addresses of variables and their data, and raw
// heap blocks. Addresses are pointer-wide (long integer results).
#include <cstring>

#include "runtime/command_args.h"
#include "runtime/kernel_commands.h"

namespace rt::commands {

void VariableAddress(ArgRecord* result, int32_t count, ArgRecord* args) {
  cmd::SetAddress(result, reinterpret_cast<uintptr_t>(cmd::Arg(count, args, 0).ptr()));
}

void DataAddress(ArgRecord* result, int32_t count, ArgRecord* args) {
  const ArgRecord& r = cmd::Arg(count, args, 0);
  void* variable = r.ptr();
  TypeCode type = r.type();
  uintptr_t address = reinterpret_cast<uintptr_t>(variable);
  if (variable != nullptr && (IsArrayType(type) || type == kTypeText || type == kTypeBytes)) {
    void* held;
    std::memcpy(&held, variable, sizeof held);
    if (IsArrayType(type)) {
      address = ElementCount(held) > 0 ? reinterpret_cast<uintptr_t>(ArrayElements(held)) : 0;
    } else if (type == kTypeText) {
      address =
          held != nullptr && *static_cast<const char*>(held) != '\0' ? reinterpret_cast<uintptr_t>(held) : 0;
    } else {
      auto* block = static_cast<unsigned char*>(held);
      address = rt::ByteSetLength(block) > 0 ? reinterpret_cast<uintptr_t>(ByteSetData(block)) : 0;
    }
  }
  cmd::SetAddress(result, address);
}

void AllocMemory(ArgRecord* result, int32_t count, ArgRecord* args) {
  int32_t size = cmd::IntOf(cmd::Arg(count, args, 0));
  bool zeroFill = cmd::BoolOr(count, args, 1, false);
  void* block = size > 0 ? MemTryAlloc(static_cast<uint64_t>(size)) : nullptr;
  if (block != nullptr && zeroFill) std::memset(block, 0, static_cast<size_t>(size));
  cmd::SetAddress(result, reinterpret_cast<uintptr_t>(block));
}

void FreeMemory(ArgRecord* /*result*/, int32_t count, ArgRecord* args) {
  MemFree(reinterpret_cast<void*>(cmd::AddressOf(cmd::Arg(count, args, 0))));
}

}  // namespace rt::commands
