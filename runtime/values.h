// Values: type codes, the 12-byte argument record, the value heap and the RAII owners of
// texts, byte sets and arrays.
//
// Thread contract: values are created and released on the GUI thread only; nothing here
// locks. Every text, byte set and array block has exactly one owner.
#ifndef RUNTIME_VALUES_H_
#define RUNTIME_VALUES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace rt {

using TypeCode = uint32_t;

// System types.
inline constexpr TypeCode kTypeNone = 0;  // an omitted optional argument
inline constexpr TypeCode kTypeBool = 0x80000002;
inline constexpr TypeCode kTypeDateTime = 0x80000003;
inline constexpr TypeCode kTypeText = 0x80000004;
inline constexpr TypeCode kTypeBytes = 0x80000005;
inline constexpr TypeCode kTypeAddress = 0x80000006;
inline constexpr TypeCode kTypeByte = 0x80000101;
inline constexpr TypeCode kTypeShort = 0x80000201;
inline constexpr TypeCode kTypeInt = 0x80000301;
inline constexpr TypeCode kTypeLong = 0x80000401;
inline constexpr TypeCode kTypeFloat = 0x80000501;
inline constexpr TypeCode kTypeDouble = 0x80000601;
// Array of the type (value parameters), or reference to a variable (bridge arguments).
inline constexpr TypeCode kArrayBit = 0x20000000;

// Library types the application uses: ((library index + 1) << 16) | number.
inline constexpr TypeCode kTypeWindow = 0x00010001;
inline constexpr TypeCode kTypeMenuItem = 0x00010003;
inline constexpr TypeCode kTypeEditBox = 0x00010005;
inline constexpr TypeCode kTypeLabel = 0x0001000A;
inline constexpr TypeCode kTypeButton = 0x0001000B;
inline constexpr TypeCode kTypeComObject = 0x00010030;
inline constexpr TypeCode kTypeVariant = 0x00010031;
inline constexpr TypeCode kTypeGrid = 0x00030001;
inline constexpr TypeCode kTypeListView = 0x00040004;
inline constexpr TypeCode kTypeRapidString = 0x00050001;

constexpr TypeCode LibraryTypeCode(int libraryIndex, int number) {
  return (static_cast<TypeCode>(libraryIndex + 1) << 16) | static_cast<TypeCode>(number);
}
constexpr bool IsSystemType(TypeCode t) {
  return (t & ~kArrayBit) >= 0x80000000u && (t & ~kArrayBit) <= 0x9FFFFFFFu;
}
constexpr TypeCode BaseType(TypeCode t) { return t & ~kArrayBit; }
constexpr bool IsArrayType(TypeCode t) { return t != kTypeNone && (t & kArrayBit) != 0; }
// Byte, short, integer, long, float, double: the system types whose lowest byte is 0x01.
constexpr bool IsNumericType(TypeCode t) { return IsSystemType(t) && (BaseType(t) & 0xFF) == 0x01; }
// Bytes one element of the type takes inside an array block.
size_t ElementWidth(TypeCode elementType);

// The record by which a value travels into a command and back out: an 8-byte value and a
// 4-byte type code, packed. In an array of records every second value is misaligned, so the
// fields are reached only through these copy helpers; no reference to a field is ever bound.
#pragma pack(push, 1)
struct ArgRecord {
  unsigned char value[8];
  unsigned char typeBytes[4];

  TypeCode type() const { return Load<TypeCode>(typeBytes); }
  void setType(TypeCode t) { Store(typeBytes, t); }
  bool given() const { return type() != kTypeNone; }

  int32_t i32() const { return Load<int32_t>(value); }
  int32_t i32Hi() const { return Load<int32_t>(value + 4); }
  int64_t i64() const { return Load<int64_t>(value); }
  double f64() const { return Load<double>(value); }
  float f32() const { return Load<float>(value); }
  uint8_t u8() const { return value[0]; }
  int16_t i16() const { return Load<int16_t>(value); }
  bool boolean() const { return i32() != 0; }
  void* ptr() const { return reinterpret_cast<void*>(Load<uintptr_t>(value)); }
  const char* text() const { return static_cast<const char*>(ptr()); }

  // Setters zero the whole value first so that narrow values leave bytes 4 to 7 zero.
  void clear() { std::memset(this, 0, sizeof(*this)); }
  void setI32(int32_t v, TypeCode t = kTypeInt) { set(v, t); }
  void setI64(int64_t v, TypeCode t = kTypeLong) { set(v, t); }
  void setF64(double v, TypeCode t = kTypeDouble) { set(v, t); }
  void setF32(float v) { set(v, kTypeFloat); }
  void setBool(bool v) { set<int32_t>(v ? 1 : 0, kTypeBool); }
  void setU8(uint8_t v) { set(v, kTypeByte); }
  void setI16(int16_t v) { set(v, kTypeShort); }
  void setPtr(const void* p, TypeCode t) { set(reinterpret_cast<uintptr_t>(p), t); }
  void setPair(int32_t lo, int32_t hi, TypeCode t) {
    clear();
    Store(value, lo);
    Store(value + 4, hi);
    setType(t);
  }

  static ArgRecord Omitted() {
    ArgRecord r;
    r.clear();
    return r;
  }

 private:
  template <typename T>
  static T Load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  template <typename T>
  static void Store(unsigned char* p, T v) {
    std::memcpy(p, &v, sizeof v);
  }
  template <typename T>
  void set(T v, TypeCode t) {
    clear();
    Store(value, v);
    setType(t);
  }
};
#pragma pack(pop)
static_assert(sizeof(ArgRecord) == 12, "ArgRecord is a fixed 12-byte contract");

// ---- The value heap -------------------------------------------------------------------

// A heap block of `size` bytes, uninitialised. Never returns null: a request the heap cannot
// meet (or one beyond the 32-bit range values describe) is reported as a runtime error.
void* MemAlloc(uint64_t size);
// Null behaves as MemAlloc; a constant is copied into a fresh heap block.
void* MemRealloc(void* block, uint64_t size);
// Null and constants are ignored.
void MemFree(void* block);
// As MemAlloc, but yields null instead of reporting when the heap cannot meet the request.
void* MemTryAlloc(uint64_t size);

// Test hook: when set, every heap request of more than `limit` bytes fails as if the heap
// were exhausted (Linux overcommits, so the failure path is reached this way). 0 disables.
void SetAllocationLimitForTesting(uint64_t limit);

// ---- The constant block ---------------------------------------------------------------

// The shared empty text and empty byte set (words 1, 0); callers pass these where a variable
// holds null.
extern const char* const kEmptyText;
extern const unsigned char* const kEmptyBytes;
// The constant text "[i]" for 0 <= i < kIndexNameConstants (null otherwise): array elements
// are named so, and most arrays are short, so their names need no heap block. Like every
// constant, freeing one does nothing and reallocating one copies it.
inline constexpr int32_t kIndexNameConstants = 4096;
const char* IndexNameConstant(int32_t i);
// Registers the program's constant data; pointers inside it count as constants.
void SetProgramConstants(const void* start, size_t length);
bool IsConstant(const void* p);

// ---- Block helpers ----------------------------------------------------------------------

// A new text block holding the n bytes and a zero; null for n == 0 (an empty result).
char* NewText(const char* bytes, size_t n);
inline char* NewText(std::string_view s) { return NewText(s.data(), s.size()); }
// A new byte-set block; null for n == 0.
unsigned char* NewByteSet(const void* bytes, size_t n);
// Length and data of a byte-set block (null: 0 and nothing).
int32_t ByteSetLength(const unsigned char* block);
inline const unsigned char* ByteSetData(const unsigned char* block) { return block ? block + 8 : nullptr; }
inline unsigned char* ByteSetData(unsigned char* block) { return block ? block + 8 : nullptr; }
// Never null: the text or the shared empty text.
inline const char* OrEmpty(const char* text) { return text ? text : kEmptyText; }
inline const unsigned char* OrEmptyBytes(const unsigned char* block) { return block ? block : kEmptyBytes; }

// A new block holding the texts one after another and a zero; null texts count as empty.
// Always allocates (two empty texts give a 1-byte block).
char* ConcatTexts(int count, const char* const* texts);
// Product of the dimension sizes; 0 for null or zero dimensions.
int64_t ElementCount(const void* arrayBlock);
// Rounds toward zero to 64 bits; NaN, infinities and out-of-range values give INT64_MIN.
int64_t TruncToInteger(double v);

// ---- Arrays -----------------------------------------------------------------------------

// Header of a one-dimensional array block: words 1, n, then the elements.
inline int32_t* ArrayHeader(void* block) { return static_cast<int32_t*>(block); }
// Address of the first element (after the dimension words).
unsigned char* ArrayElements(void* block);
const unsigned char* ArrayElements(const void* block);
// A new one-dimensional array block of n zero-filled elements of the given width.
void* NewArrayBlock(int64_t n, size_t elementWidth);
// Where a check of the program stands: its file, the function it is written in and its line.
// A check takes `CheckSite where = CheckSite::Here()` as its last parameter, so that the
// compiler fills in its caller's place.
struct CheckSite {
  static constexpr CheckSite Here(const char* file = __builtin_FILE(),
                                  const char* function = __builtin_FUNCTION(),
                                  int32_t line = __builtin_LINE()) {
    return CheckSite{file, function, line};
  }
  const char* file;
  const char* function;
  int32_t line;
};
// The two position words a check's runtime error reports: the routine the check stands in and
// the place within it.
struct CheckPlace {
  int32_t routine = 0;
  int32_t place = 0;
};
// The words of a check at `where`: the routine word is a hash of its file and function in bits 0
// to 23 with 4 in bits 24 to 27, so that a report never takes it for a window identifier (which
// holds 2 there); the place is its line.
CheckPlace PlaceOf(const CheckSite& where);

// Address of element `index` (1-based) with the runtime's checks: error 4 when index - 1 is
// negative, error 1 when it is not below the member count. The error names the caller's place.
unsigned char* ElementAt(void* block, int64_t index, size_t elementWidth,
                         CheckSite where = CheckSite::Here());
// The same with position words of the caller's own.
unsigned char* ElementAt(void* block, int64_t index, size_t elementWidth, int32_t posA, int32_t posB);
// Redefines a one-dimensional array of owned pointers or plain elements (error 10 for a
// negative count, naming the caller's place). `ownsBlocks` marks elements that are owned
// blocks (texts, byte sets).
void RedefineArray(void** variable, int64_t count, size_t elementWidth, bool ownsBlocks, bool keepContents,
                   CheckSite where = CheckSite::Here());
// Releases an array block; owned element blocks first when `ownsBlocks`.
void FreeArray(void* block, size_t elementWidth, bool ownsBlocks);

// Releases the owned fields of a record (texts, byte sets), not the record block itself; null
// for records that own nothing.
using ReleaseRecordFields = void (*)(void* record);
// Redefines a one-dimensional array of records, each element a pointer to a record block of
// `recordSize` bytes of its own. Added elements are fresh zero-filled records; elements that go
// (all of them without `keepContents`) are released: their fields, then the record. Error 10
// for a negative count.
void RedefineRecordArray(void** variable, int64_t count, size_t recordSize, ReleaseRecordFields releaseFields,
                         bool keepContents, CheckSite where = CheckSite::Here());
// Releases an array of records: every record (its fields, then the block), then the array.
void FreeRecordArray(void* block, ReleaseRecordFields releaseFields);

// Checks a result's type against the expected one: runtime error 5 on a mismatch, naming the
// caller's place.
void CheckResultType(TypeCode actual, TypeCode expected, CheckSite where = CheckSite::Here());
void CheckResultType(TypeCode actual, TypeCode expected, int32_t posA, int32_t posB);

// ---- RAII owners ------------------------------------------------------------------------

// Owns a text block (null = empty).
class Text {
 public:
  Text() = default;
  explicit Text(std::string_view s) : p_(NewText(s)) {}
  Text(const Text& o) : p_(o.empty() ? nullptr : NewText(o.view())) {}
  Text(Text&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Text& operator=(Text o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Text() { MemFree(p_); }

  // Takes ownership of a text block (null allowed).
  static Text Adopt(char* block) {
    Text t;
    t.p_ = block;
    return t;
  }
  static Text Adopt(void* block) { return Adopt(static_cast<char*>(block)); }

  const char* c_str() const { return OrEmpty(p_); }  // never null
  const char* get() const { return p_; }
  std::string_view view() const { return p_ ? std::string_view(p_) : std::string_view(); }
  std::string str() const { return std::string(view()); }
  size_t size() const { return p_ ? std::strlen(p_) : 0; }
  bool empty() const { return p_ == nullptr || p_[0] == '\0'; }
  char* release() { return std::exchange(p_, nullptr); }
  char** slot() { return &p_; }  // the variable itself, for commands that replace it
  void reset(char* block = nullptr) { *this = Adopt(block); }

  friend bool operator==(const Text& a, const Text& b) { return a.view() == b.view(); }
  friend bool operator==(const Text& a, std::string_view b) { return a.view() == b; }

 private:
  char* p_ = nullptr;
};

// Owns a byte-set block (null = empty).
class ByteSet {
 public:
  ByteSet() = default;
  ByteSet(const void* bytes, size_t n) : p_(NewByteSet(bytes, n)) {}
  explicit ByteSet(std::string_view s) : p_(NewByteSet(s.data(), s.size())) {}
  ByteSet(const ByteSet& o) : p_(NewByteSet(o.data(), o.size())) {}
  ByteSet(ByteSet&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ByteSet& operator=(ByteSet o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ByteSet() { MemFree(p_); }

  static ByteSet Adopt(void* block) {
    ByteSet b;
    b.p_ = static_cast<unsigned char*>(block);
    return b;
  }

  const unsigned char* block() const { return OrEmptyBytes(p_); }  // never null
  const unsigned char* get() const { return p_; }
  const unsigned char* data() const { return ByteSetData(p_); }
  size_t size() const { return static_cast<size_t>(ByteSetLength(p_)); }
  bool empty() const { return size() == 0; }
  std::string_view view() const {
    return p_ ? std::string_view(reinterpret_cast<const char*>(data()), size()) : std::string_view();
  }
  unsigned char* release() { return std::exchange(p_, nullptr); }
  unsigned char** slot() { return &p_; }

 private:
  unsigned char* p_ = nullptr;
};

// Owns a one-dimensional array block of texts (elements are owned text pointers).
class TextArray {
 public:
  TextArray() : p_(NewArrayBlock(0, sizeof(char*))) {}
  TextArray(const TextArray&) = delete;
  TextArray& operator=(const TextArray&) = delete;
  TextArray(TextArray&& o) noexcept : p_(std::exchange(o.p_, NewArrayBlock(0, sizeof(char*)))) {}
  TextArray& operator=(TextArray&& o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~TextArray() { FreeArray(p_, sizeof(char*), true); }

  static TextArray Adopt(void* block) {
    TextArray a;
    if (block) {
      FreeArray(a.p_, sizeof(char*), true);
      a.p_ = block;
    }
    return a;
  }

  int64_t size() const { return ElementCount(p_); }
  // 1-based, checked like every array access of the program (an error names the caller's place).
  const char* at(int64_t index, CheckSite where = CheckSite::Here()) const {
    char* p;
    std::memcpy(&p, ElementAt(p_, index, sizeof(char*), where), sizeof p);
    return OrEmpty(p);
  }
  void* block() const { return p_; }
  void** slot() { return &p_; }
  void push_back(std::string_view s);

 private:
  void* p_;
};

}  // namespace rt

#endif  // RUNTIME_VALUES_H_
