// The kernel's byte-set commands. Positions count plain bytes; comparisons are exact.

#include <algorithm>
#include <cstring>

#include "runtime/command_args.h"
#include "runtime/find_bytes.h"
#include "runtime/kernel_commands.h"
#include "runtime/result_buffer.h"

namespace rt::commands {

void ByteSetLength(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->setI32(rt::ByteSetLength(cmd::BytesOf(cmd::Arg(count, args, 0))));
}

void LeftBytes(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* block = cmd::BytesOf(cmd::Arg(count, args, 0));
  int64_t len = rt::ByteSetLength(block);
  int64_t n = std::clamp<int64_t>(cmd::IntOf(cmd::Arg(count, args, 1)), 0, len);
  cmd::SetBytes(result, NewByteSet(ByteSetData(block), static_cast<size_t>(n)));
}

void MidBytes(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* block = cmd::BytesOf(cmd::Arg(count, args, 0));
  int64_t len = rt::ByteSetLength(block);
  int64_t start = std::clamp<int64_t>(cmd::IntOf(cmd::Arg(count, args, 1)), 1, len + 1);
  int64_t n = std::max<int64_t>(cmd::IntOf(cmd::Arg(count, args, 2)), 0);
  n = std::min(n, len - start + 1);
  cmd::SetBytes(result, NewByteSet(n ? ByteSetData(block) + (start - 1) : nullptr, static_cast<size_t>(n)));
}

void ReplaceBytes(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* block = cmd::BytesOf(cmd::Arg(count, args, 0));
  const unsigned char* soughtBlock = cmd::BytesOf(cmd::Arg(count, args, 1));
  const ArgRecord& replacementArg = cmd::Arg(count, args, 2);
  const unsigned char* replacementBlock = replacementArg.given() ? cmd::BytesOf(replacementArg) : kEmptyBytes;
  int64_t start = std::max<int64_t>(cmd::IntOr(count, args, 3, 1), 1);
  bool all = !cmd::Given(count, args, 4);
  int64_t remaining = all ? 0 : std::max<int32_t>(cmd::IntOf(args[4]), 0);

  const unsigned char* b = ByteSetData(block);
  size_t n = static_cast<size_t>(rt::ByteSetLength(block));
  const unsigned char* sought = ByteSetData(soughtBlock);
  size_t s = static_cast<size_t>(rt::ByteSetLength(soughtBlock));
  const unsigned char* replacement = ByteSetData(replacementBlock);
  size_t r = static_cast<size_t>(rt::ByteSetLength(replacementBlock));
  if (n == 0 || s == 0 || static_cast<uint64_t>(start - 1) >= n || (!all && remaining == 0)) {
    return cmd::SetBytes(result, NewByteSet(b, n));
  }
  ResultBuffer buf(n);
  size_t pos = static_cast<size_t>(start - 1);
  buf.Append(b, pos);
  while (n - pos >= s) {
    const void* c = FindBytes(b + pos, n - pos, sought, s);
    if (c == nullptr) break;
    size_t p = static_cast<size_t>(static_cast<const unsigned char*>(c) - b);
    buf.Append(b + pos, p - pos);
    buf.Append(replacement, r);
    pos = p + s;
    if (!all && --remaining == 0) break;
  }
  buf.Append(b + pos, n - pos);
  cmd::SetBytes(result, buf.TakeByteSet());
}

void ZeroBytes(ArgRecord* result, int32_t count, ArgRecord* args) {
  int32_t n = cmd::IntOf(cmd::Arg(count, args, 0));
  if (n <= 0) return cmd::SetBytes(result, nullptr);
  // The block size is computed in 64 bits; an impossible size is reported by the allocator.
  auto* block = static_cast<unsigned char*>(MemAlloc(static_cast<uint64_t>(n) + 8));
  const int32_t header[2] = {1, n};
  std::memcpy(block, header, sizeof header);
  std::memset(block + 8, 0, static_cast<size_t>(n));
  cmd::SetBytes(result, block);
}

}  // namespace rt::commands
