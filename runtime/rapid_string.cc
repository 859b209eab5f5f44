#include "runtime/rapid_string.h"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/kernel.h"
#include "runtime/libraries.h"

namespace rt {
namespace {

constexpr int32_t kFirstSize = 10240;
constexpr int32_t kLargestSize = 0x7FFFFFFE;
constexpr int32_t kGrowthStep = 10240;

RapidStringObject* NewObject() {
  auto* o = static_cast<RapidStringObject*>(std::calloc(1, sizeof(RapidStringObject)));
  if (o == nullptr) return nullptr;
  o->firstSize = kFirstSize;
  o->largestSize = kLargestSize;
  o->growthStep = kGrowthStep;
  return o;
}

void SetObject(void* block, RapidStringObject* o) { std::memcpy(block, &o, sizeof o); }

// Makes room for a text of `need` bytes. Sizes are computed in 64 bits, so that no request
// wraps; the old contents are copied by length (zero bytes inside them survive).
bool Grow(RapidStringObject* o, int64_t need, bool keep) {
  if (need < 0) return false;
  int64_t want = need + 1;
  if (o->data != nullptr && want <= o->capacity) return true;
  if (want > o->largestSize) return false;
  int64_t step = o->growth ? o->growth() : o->growthStep;
  int64_t capacity = want <= o->firstSize ? o->firstSize : want + step;
  if (capacity > o->largestSize) capacity = o->largestSize;
  auto* store = static_cast<char*>(std::malloc(static_cast<size_t>(capacity)));
  if (store == nullptr) return false;
  if (keep && o->data != nullptr) {
    std::memcpy(store, o->data, static_cast<size_t>(o->length) + 1);
  } else {
    store[0] = '\0';
    o->length = 0;
  }
  std::free(o->data);
  o->data = store;
  o->capacity = static_cast<int32_t>(capacity);
  return true;
}

bool AppendRaw(RapidStringObject* o, const void* bytes, size_t n) {
  if (n == 0) return true;
  int64_t need = static_cast<int64_t>(o->length) + static_cast<int64_t>(n);
  if (!Grow(o, need, true)) return false;
  std::memcpy(o->data + o->length, bytes, n);
  o->length = static_cast<int32_t>(need);
  o->data[o->length] = '\0';
  return true;
}

// "%.<precision>g" as the platform's C library writes it: the exponent carries its sign and
// at least three digits. Independent of the process locale.
std::string PlatformG(double v, int precision) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
  std::string s(buf, res.ptr);
  size_t e = s.find('e');
  if (e != std::string::npos && e + 2 <= s.size()) {
    size_t digits = s.size() - (e + 2);
    if (digits < 3) s.insert(e + 2, 3 - digits, '0');
  }
  return s;
}

// Appends one value held at `p` (a record's value or an array element) of type `type`.
bool AppendValue(RapidStringObject* o, TypeCode type, const unsigned char* p) {
  auto load = [p](auto v) {
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  char buf[32];
  switch (type) {
    case kTypeText: {
      const char* t = load(static_cast<const char*>(nullptr));
      return t == nullptr || AppendRaw(o, t, std::strlen(t));  // a null element appends nothing
    }
    case kTypeBytes: {
      const unsigned char* b = load(static_cast<const unsigned char*>(nullptr));
      if (b == nullptr || b == kEmptyBytes) return true;  // an empty variable
      int32_t n = ByteSetLength(b);
      return n > 0 && AppendRaw(o, ByteSetData(b), static_cast<size_t>(n));
    }
    case kTypeByte: {
      int n = std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(p[0]));
      return AppendRaw(o, buf, static_cast<size_t>(n));
    }
    case kTypeShort: {
      int n = std::snprintf(buf, sizeof buf, "%d", static_cast<int>(load(int16_t{})));
      return AppendRaw(o, buf, static_cast<size_t>(n));
    }
    case kTypeInt:
    case kTypeAddress: {
      int n = std::snprintf(buf, sizeof buf, "%d", static_cast<int>(load(int32_t{})));
      return AppendRaw(o, buf, static_cast<size_t>(n));
    }
    case kTypeLong: {
      int n = std::snprintf(buf, sizeof buf, "%" PRId64, load(int64_t{}));
      return AppendRaw(o, buf, static_cast<size_t>(n));
    }
    case kTypeFloat: {
      std::string s = PlatformG(static_cast<double>(load(float{})), 6);
      return AppendRaw(o, s.data(), s.size());
    }
    case kTypeDouble: {
      std::string s = PlatformG(load(double{}), 13);
      return AppendRaw(o, s.data(), s.size());
    }
    case kTypeBool:
      return AppendRaw(o, load(int32_t{}) != 0 ? "真" : "假", std::strlen("真"));
    case kTypeDateTime: {
      // In the words ToText writes.
      Text words = kernel::ToText(kernel::DateTime{load(double{})});
      return AppendRaw(o, words.c_str(), words.size());
    }
    default:
      return false;
  }
}

}  // namespace

RapidStringObject* RapidStringOf(const void* block) {
  if (block == nullptr) return nullptr;
  RapidStringObject* o;
  std::memcpy(&o, block, sizeof o);
  return o;
}

void RapidStringCreate(ArgRecord* /*result*/, int32_t count, ArgRecord* args) {
  if (count < 1 || args[0].ptr() == nullptr) return;
  SetObject(args[0].ptr(), NewObject());
}

void RapidStringCopy(ArgRecord* /*result*/, int32_t count, ArgRecord* args) {
  if (count < 2 || args[0].ptr() == nullptr) return;
  RapidStringObject* source = RapidStringOf(args[1].ptr());
  RapidStringObject* copy = NewObject();
  if (copy != nullptr && source != nullptr && source->length > 0 &&
      !AppendRaw(copy, source->data, static_cast<size_t>(source->length))) {
    std::free(copy);
    copy = nullptr;
  }
  // Read the source before the target's old object goes: copying a block onto itself keeps
  // the text.
  RapidStringObject* old = RapidStringOf(args[0].ptr());
  if (old != nullptr) {
    std::free(old->data);
    std::free(old);
  }
  SetObject(args[0].ptr(), copy);
}

void RapidStringRelease(ArgRecord* /*result*/, int32_t count, ArgRecord* args) {
  if (count < 1) return;
  RapidStringObject* o = RapidStringOf(args[0].ptr());
  if (o == nullptr) return;
  std::free(o->data);
  std::free(o);
  SetObject(args[0].ptr(), nullptr);
}

void RapidStringGetText(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->setPtr(nullptr, kTypeText);
  RapidStringObject* o = count >= 1 ? RapidStringOf(args[0].ptr()) : nullptr;
  if (o == nullptr || o->length == 0 || o->data == nullptr) return;
  int64_t start = count >= 2 && args[1].given() ? args[1].i32() : 0;
  int64_t pos = start > 0 ? start - 1 : start == 0 ? 0 : o->length + start;
  if (pos < 0 || pos >= o->length) return;
  int64_t remaining = o->length - pos;
  int64_t n = count >= 3 && args[2].given() ? args[2].i32() : remaining;
  if (n > remaining) n = remaining;
  if (n < 1) return;
  result->setPtr(NewText(o->data + pos, static_cast<size_t>(n)), kTypeText);
}

void RapidStringClear(ArgRecord* result, int32_t count, ArgRecord* args) {
  RapidStringObject* o = count >= 1 ? RapidStringOf(args[0].ptr()) : nullptr;
  bool ok = o != nullptr && Grow(o, 0, true);
  if (ok) {
    o->length = 0;
    o->data[0] = '\0';
  }
  result->setBool(ok);
}

void RapidStringAppend(ArgRecord* result, int32_t count, ArgRecord* args) {
  RapidStringObject* o = count >= 1 ? RapidStringOf(args[0].ptr()) : nullptr;
  if (o == nullptr) {
    result->setBool(false);
    return;
  }
  bool all = true;
  for (int32_t i = 1; i < count; ++i) {
    TypeCode type = args[i].type();
    if (IsArrayType(type) && IsSystemType(type)) {
      void* array = args[i].ptr();
      TypeCode element = BaseType(type);
      size_t width = ElementWidth(element);
      int64_t n = ElementCount(array);
      const unsigned char* e = n > 0 ? ArrayElements(array) : nullptr;
      for (int64_t k = 0; k < n; ++k) all = AppendValue(o, element, e + k * width) && all;
    } else {
      all = AppendValue(o, type, args[i].value) && all;
    }
  }
  result->setBool(all);
}

void AppendRapidStringCommands(std::vector<CommandFn>* table) {
  table->push_back(RapidStringCreate);
  table->push_back(RapidStringCopy);
  table->push_back(RapidStringRelease);
  table->push_back(RapidStringGetText);
  table->push_back(RapidStringClear);
  table->push_back(RapidStringAppend);
}

// ---- The application's owner ------------------------------------------------------------

RapidString::RapidString() : block_(MemAlloc(kRapidStringBlockSize)) {
  std::memset(block_, 0, kRapidStringBlockSize);
  CallLibrary(kLibraryGeneralObjects, RapidStringCreate, {RapidStringArg(block_)});
}

RapidString::RapidString(const RapidString& other) : block_(MemAlloc(kRapidStringBlockSize)) {
  std::memset(block_, 0, kRapidStringBlockSize);
  CallLibrary(kLibraryGeneralObjects, RapidStringCopy,
              {RapidStringArg(block_), RapidStringArg(other.block_)});
}

RapidString& RapidString::operator=(const RapidString& other) {
  CallLibrary(kLibraryGeneralObjects, RapidStringCopy,
              {RapidStringArg(block_), RapidStringArg(other.block_)});
  return *this;
}

RapidString::~RapidString() {
  Release();
  MemFree(block_);
}

void RapidString::Release() {
  CallLibrary(kLibraryGeneralObjects, RapidStringRelease, {RapidStringArg(block_)});
}

namespace {

// Most pieces are a parser's token of a few bytes. Copied with two overlapping words; longer
// ones by the C library, with the length hidden from the compiler, which would otherwise copy
// a length it knows to be bounded with a string instruction that is slow to start.
void CopyPiece(unsigned char* to, const unsigned char* from, size_t n) {
  if (n >= 8 && n <= 16) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else if (n < 4) {
    for (size_t i = 0; i < n; ++i) to[i] = from[i];
  } else {
    asm("" : "+r"(n));
    std::memcpy(to, from, n);
  }
}

// Calls a general objects library command with the records as they stand.
ArgRecord CallCommand(CommandFn command, ArgRecord* args, int32_t n) {
  ArgRecord result = ArgRecord::Omitted();
  Helpers().CallLibraryCommand(kLibraryGeneralObjects, command, &result, n, args);
  return result;
}

}  // namespace

bool RapidString::Append(std::initializer_list<ArgRecord> values) {
  return CallLibrary(kLibraryGeneralObjects, RapidStringAppend, RapidStringArg(block_), values).boolean();
}

bool RapidString::AppendText(const char* text) { return Append({TextArg(text)}); }

bool RapidString::AppendBytes(const void* bytes, size_t n) {
  // A byte-set block on the stack: the command only reads it.
  constexpr size_t kPiece = 1024;
  alignas(8) unsigned char set[8 + kPiece];
  auto* p = static_cast<const unsigned char*>(bytes);
  bool ok = true;
  while (n > 0) {
    size_t piece = n < kPiece ? n : kPiece;
    const int32_t header[2] = {1, static_cast<int32_t>(piece)};
    std::memcpy(set, header, sizeof header);
    CopyPiece(set + 8, p, piece);
    ArgRecord args[2] = {RapidStringArg(block_), {}};
    args[1].setPtr(set, kTypeBytes);
    ok = CallCommand(RapidStringAppend, args, 2).boolean() && ok;
    p += piece;
    n -= piece;
  }
  return ok;
}

bool RapidString::Clear() {
  // One record, passed as it stands: the parser clears its buffer for every value.
  ArgRecord args[1] = {RapidStringArg(block_)};
  return CallCommand(RapidStringClear, args, 1).boolean();
}

Text RapidString::GetText() const {
  ArgRecord args[1] = {RapidStringArg(block_)};
  return TextResult(CallCommand(RapidStringGetText, args, 1));
}

Text RapidString::GetText(std::optional<int32_t> start, std::optional<int32_t> length) const {
  // Trailing omitted arguments are left off, as callers of commands do.
  ArgRecord args[3] = {RapidStringArg(block_), start ? IntArg(*start) : Omitted(),
                       length ? IntArg(*length) : Omitted()};
  return TextResult(CallCommand(RapidStringGetText, args, length ? 3 : start ? 2 : 1));
}

int32_t RapidString::length() const {
  RapidStringObject* o = RapidStringOf(block_);
  return o ? o->length : 0;
}

}  // namespace rt
