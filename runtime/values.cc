#include "runtime/values.h"

#include <cinttypes>
#include <cmath>
#include <limits>

#include "platform/heap.h"
#include "runtime/errors.h"

namespace rt {
namespace {

// The runtime's own constants: the shared empty text, the shared empty byte set (1, 0) and
// the index names "[0]" to "[4095]", each in 8 bytes.
struct alignas(8) RuntimeConstants {
  int32_t emptyBytes[2] = {1, 0};
  char emptyText[8] = {0};
  char indexNames[kIndexNameConstants][8] = {};

  constexpr RuntimeConstants() {
    for (int32_t i = 0; i < kIndexNameConstants; ++i) {
      char digits[8] = {};
      int n = 0;
      for (int32_t v = i; n == 0 || v > 0; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
      char* out = indexNames[i];
      *out++ = '[';
      while (n > 0) *out++ = digits[--n];
      *out = ']';
    }
  }
};
static_assert(kIndexNameConstants <= 10000, "an index name must fit its 8 bytes");
constinit const RuntimeConstants kConstants;

const unsigned char* g_programConstants = nullptr;
size_t g_programConstantsLength = 0;
uint64_t g_allocationLimit = 0;

// Blocks are described by signed 32-bit lengths: nothing larger can be a value.
constexpr uint64_t kLargestBlock = 0x7FFFFFFFu;

bool RequestTooLarge(uint64_t size) {
  return size > kLargestBlock || (g_allocationLimit != 0 && size > g_allocationLimit);
}

[[noreturn]] void ReportHeapExhausted(uint64_t size) {
  ReportRuntimeErrorF("分配 %" PRIu64 " 字节内存失败!", size);
}

}  // namespace

const char* const kEmptyText = kConstants.emptyText;
const unsigned char* const kEmptyBytes = reinterpret_cast<const unsigned char*>(kConstants.emptyBytes);

const char* IndexNameConstant(int32_t i) {
  return i >= 0 && i < kIndexNameConstants ? kConstants.indexNames[i] : nullptr;
}

size_t ElementWidth(TypeCode elementType) {
  switch (BaseType(elementType)) {
    case kTypeByte:
      return 1;
    case kTypeShort:
      return 2;
    case kTypeInt:
    case kTypeFloat:
    case kTypeBool:
    case kTypeAddress:
      return 4;
    case kTypeLong:
    case kTypeDouble:
    case kTypeDateTime:
      return 8;
    default:
      return sizeof(void*);  // texts, byte sets, objects and records: one pointer each
  }
}

void SetAllocationLimitForTesting(uint64_t limit) { g_allocationLimit = limit; }

void SetProgramConstants(const void* start, size_t length) {
  g_programConstants = static_cast<const unsigned char*>(start);
  g_programConstantsLength = length;
}

namespace {

// The end of the constant region (the runtime's or the program's) that holds p, or null when p
// is no constant.
const unsigned char* ConstantRegionEnd(const void* p) {
  auto* b = static_cast<const unsigned char*>(p);
  auto* own = reinterpret_cast<const unsigned char*>(&kConstants);
  if (b >= own && b < own + sizeof kConstants) return own + sizeof kConstants;
  if (g_programConstants != nullptr && b >= g_programConstants &&
      b < g_programConstants + g_programConstantsLength) {
    return g_programConstants + g_programConstantsLength;
  }
  return nullptr;
}

}  // namespace

bool IsConstant(const void* p) { return ConstantRegionEnd(p) != nullptr; }

void* MemTryAlloc(uint64_t size) {
  if (RequestTooLarge(size)) return nullptr;
  return platform::HeapAlloc(static_cast<size_t>(size));
}

void* MemAlloc(uint64_t size) {
  void* p = MemTryAlloc(size);
  if (p == nullptr) ReportHeapExhausted(size);
  return p;
}

void* MemRealloc(void* block, uint64_t size) {
  if (block == nullptr) return MemAlloc(size);
  if (const unsigned char* end = ConstantRegionEnd(block)) {
    // A constant is copied into a new block, as far as its region reaches.
    auto* src = static_cast<const unsigned char*>(block);
    uint64_t available = static_cast<uint64_t>(end - src);
    void* p = MemAlloc(size);
    std::memcpy(p, src, static_cast<size_t>(size < available ? size : available));
    return p;
  }
  if (RequestTooLarge(size)) ReportHeapExhausted(size);
  void* p = platform::HeapReAlloc(block, static_cast<size_t>(size));
  if (p == nullptr) ReportHeapExhausted(size);
  return p;
}

void MemFree(void* block) {
  if (block == nullptr || IsConstant(block)) return;
  platform::HeapFree(block);
}

char* NewText(const char* bytes, size_t n) {
  if (n == 0) return nullptr;
  auto* p = static_cast<char*>(MemAlloc(static_cast<uint64_t>(n) + 1));
  std::memcpy(p, bytes, n);
  p[n] = '\0';
  return p;
}

unsigned char* NewByteSet(const void* bytes, size_t n) {
  if (n == 0) return nullptr;
  auto* p = static_cast<unsigned char*>(MemAlloc(static_cast<uint64_t>(n) + 8));
  const int32_t header[2] = {1, static_cast<int32_t>(n)};
  std::memcpy(p, header, sizeof header);
  if (bytes) std::memcpy(p + 8, bytes, n);
  return p;
}

int32_t ByteSetLength(const unsigned char* block) {
  if (block == nullptr) return 0;
  int32_t n;
  std::memcpy(&n, block + 4, sizeof n);
  return n < 0 ? 0 : n;
}

char* ConcatTexts(int count, const char* const* texts) {
  uint64_t total = 0;
  for (int i = 0; i < count; ++i) total += texts[i] ? std::strlen(texts[i]) : 0;
  auto* p = static_cast<char*>(MemAlloc(total + 1));
  char* out = p;
  for (int i = 0; i < count; ++i) {
    if (!texts[i]) continue;
    size_t n = std::strlen(texts[i]);
    std::memcpy(out, texts[i], n);
    out += n;
  }
  *out = '\0';
  return p;
}

int64_t ElementCount(const void* arrayBlock) {
  if (arrayBlock == nullptr) return 0;
  auto* w = static_cast<const unsigned char*>(arrayBlock);
  int32_t dims;
  std::memcpy(&dims, w, sizeof dims);
  if (dims <= 0) return 0;
  int64_t count = 1;
  for (int32_t d = 0; d < dims; ++d) {
    int32_t size;
    std::memcpy(&size, w + 4 + 4 * d, sizeof size);
    if (size <= 0) return 0;
    count *= size;
  }
  return count;
}

int64_t TruncToInteger(double v) {
  // Outside the 64-bit range (and NaN) the conversion is undefined in C++: define it as the
  // lowest value, as the processor's own conversion yields.
  if (!(v > -9223372036854775808.0 - 1024.0 && v < 9223372036854775808.0)) {
    return std::numeric_limits<int64_t>::min();
  }
  return static_cast<int64_t>(v);
}

const unsigned char* ArrayElements(const void* block) {
  auto* w = static_cast<const unsigned char*>(block);
  int32_t dims;
  std::memcpy(&dims, w, sizeof dims);
  return w + 4 + 4 * static_cast<size_t>(dims < 0 ? 0 : dims);
}

unsigned char* ArrayElements(void* block) {
  return const_cast<unsigned char*>(ArrayElements(static_cast<const void*>(block)));
}

void* NewArrayBlock(int64_t n, size_t elementWidth) {
  if (n < 0) n = 0;
  if (static_cast<uint64_t>(n) > kLargestBlock) ReportHeapExhausted(static_cast<uint64_t>(n) * elementWidth);
  uint64_t bytes = 8 + static_cast<uint64_t>(n) * elementWidth;
  void* p = MemAlloc(bytes);
  std::memset(p, 0, static_cast<size_t>(bytes));
  int32_t header[2] = {1, static_cast<int32_t>(n)};
  std::memcpy(p, header, sizeof header);
  return p;
}

CheckPlace PlaceOf(const CheckSite& where) {
  uint32_t h = 2166136261u;  // FNV-1a over the file, a separator and the function
  auto mix = [&h](std::string_view s) {
    for (unsigned char c : s) h = (h ^ c) * 16777619u;
  };
  mix(where.file ? where.file : "");
  mix(":");
  mix(where.function ? where.function : "");
  return CheckPlace{static_cast<int32_t>(0x04000000u | (h & 0x00FFFFFFu)), where.line};
}

namespace {

// The index checks in their order (index - 1 negative, then not below the member count): the
// error code for `index`, or 0 when it is in range.
int32_t IndexError(const void* block, int64_t index) {
  if (index < 1) return kErrIndexBelowOne;
  if (index > ElementCount(block)) return kErrIndexTooLarge;
  return 0;
}

// Raises the numbered error with the words of the check at `where`.
[[noreturn]] void RaiseAt(int32_t code, const CheckSite& where) {
  const CheckPlace p = PlaceOf(where);
  RaiseRuntimeError(code, p.routine, p.place);
}

}  // namespace

unsigned char* ElementAt(void* block, int64_t index, size_t elementWidth, CheckSite where) {
  if (int32_t error = IndexError(block, index)) RaiseAt(error, where);
  return ArrayElements(block) + static_cast<size_t>(index - 1) * elementWidth;
}

unsigned char* ElementAt(void* block, int64_t index, size_t elementWidth, int32_t posA, int32_t posB) {
  if (int32_t error = IndexError(block, index)) RaiseRuntimeError(error, posA, posB);
  return ArrayElements(block) + static_cast<size_t>(index - 1) * elementWidth;
}

namespace {
void FreeOwnedElements(void* block, int64_t from, int64_t to) {
  unsigned char* e = ArrayElements(block);
  for (int64_t i = from; i < to; ++i) {
    void* p;
    std::memcpy(&p, e + i * sizeof(void*), sizeof p);
    MemFree(p);
  }
}
}  // namespace

void FreeArray(void* block, size_t /*elementWidth*/, bool ownsBlocks) {
  if (block == nullptr) return;
  if (ownsBlocks && !IsConstant(block)) FreeOwnedElements(block, 0, ElementCount(block));
  MemFree(block);
}

void RedefineArray(void** variable, int64_t count, size_t elementWidth, bool ownsBlocks, bool keepContents,
                   CheckSite where) {
  if (count < 0) RaiseAt(kErrRedefineArray, where);
  void* old = *variable;
  int64_t oldCount = ElementCount(old);
  void* fresh = NewArrayBlock(count, elementWidth);
  if (keepContents && old) {
    int64_t kept = oldCount < count ? oldCount : count;
    std::memcpy(ArrayElements(fresh), ArrayElements(old), static_cast<size_t>(kept) * elementWidth);
    if (ownsBlocks && !IsConstant(old)) FreeOwnedElements(old, kept, oldCount);
    MemFree(old);
  } else {
    FreeArray(old, elementWidth, ownsBlocks);
  }
  *variable = fresh;
}

namespace {

void* RecordAt(void* block, int64_t i) {
  void* r;
  std::memcpy(&r, ArrayElements(block) + i * sizeof(void*), sizeof r);
  return r;
}

void ReleaseRecord(void* record, ReleaseRecordFields releaseFields) {
  if (record == nullptr) return;
  if (releaseFields) releaseFields(record);
  MemFree(record);
}

}  // namespace

void RedefineRecordArray(void** variable, int64_t count, size_t recordSize, ReleaseRecordFields releaseFields,
                         bool keepContents, CheckSite where) {
  if (count < 0) RaiseAt(kErrRedefineArray, where);
  void* old = *variable;
  const int64_t oldCount = ElementCount(old);
  const int64_t kept = keepContents ? (oldCount < count ? oldCount : count) : 0;
  void* fresh = NewArrayBlock(count, sizeof(void*));
  if (kept > 0)
    std::memcpy(ArrayElements(fresh), ArrayElements(old), static_cast<size_t>(kept) * sizeof(void*));
  for (int64_t i = kept; i < count; ++i) {
    void* record = MemAlloc(recordSize);
    std::memset(record, 0, recordSize);
    std::memcpy(ArrayElements(fresh) + i * sizeof(void*), &record, sizeof record);
  }
  // A template in the constants owns no records of its own.
  if (old != nullptr && !IsConstant(old)) {
    for (int64_t i = kept; i < oldCount; ++i) ReleaseRecord(RecordAt(old, i), releaseFields);
  }
  MemFree(old);
  *variable = fresh;
}

void FreeRecordArray(void* block, ReleaseRecordFields releaseFields) {
  if (block == nullptr) return;
  if (!IsConstant(block)) {
    for (int64_t i = 0, n = ElementCount(block); i < n; ++i) ReleaseRecord(RecordAt(block, i), releaseFields);
  }
  MemFree(block);
}

void CheckResultType(TypeCode actual, TypeCode expected, CheckSite where) {
  if (actual != expected) RaiseAt(kErrTypeMismatch, where);
}

void CheckResultType(TypeCode actual, TypeCode expected, int32_t posA, int32_t posB) {
  if (actual != expected) RaiseRuntimeError(kErrTypeMismatch, posA, posB);
}

void TextArray::push_back(std::string_view s) {
  int64_t n = size();
  RedefineArray(&p_, n + 1, sizeof(char*), true, true);
  char* t = NewText(s);
  std::memcpy(ArrayElements(p_) + n * sizeof(char*), &t, sizeof t);
}

}  // namespace rt
