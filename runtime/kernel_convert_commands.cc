// The kernel's conversion commands: ToText, ToInteger, ToByte, ToByteSet. Numbers are written
// locale-independently, in the C library's forms of the platform the program comes from.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/command_args.h"
#include "runtime/kernel_commands.h"
#include "runtime/result_buffer.h"

namespace rt::commands {
namespace {

// "%.<precision>g" in the C locale, with the exponent written with its sign and at least
// three digits (1e+020, 1e-005, 1e+100).
void WriteGeneral(ResultBuffer* out, double v, int precision) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
  size_t n = static_cast<size_t>(res.ptr - buf);
  const char* e = static_cast<const char*>(std::memchr(buf, 'e', n));
  if (e == nullptr) {
    out->Append(buf, n);
    return;
  }
  size_t mantissa = static_cast<size_t>(e - buf);
  out->Append(buf, mantissa + 2);  // mantissa, 'e' and the sign
  size_t digits = n - mantissa - 2;
  if (digits < 3) out->AppendFill('0', 3 - digits);
  out->Append(e + 2, digits);
}

// A float is first rounded to 6 significant decimal digits (half away from zero) in double
// precision, then written with 6 significant digits.
double RoundFloatForText(float f) {
  double d = f;
  if (d == 0 || !std::isfinite(d)) return d;
  int exponent = static_cast<int>(std::floor(std::log10(std::fabs(d))));
  double scale = std::pow(10.0, 5 - exponent);
  double r = std::round(d * scale) / scale;
  return std::isfinite(r) ? r : d;
}

void AppendDecimal(ResultBuffer* out, int64_t v) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  out->Append(buf, static_cast<size_t>(res.ptr - buf));
}

// Days since 1 March of year 0 for a civil date's inverse: the civil date of a day count
// relative to 1970-01-01 (proleptic Gregorian).
void CivilFromDays(int64_t z, int64_t* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = yoe + era * 400 + (*m <= 2 ? 1 : 0);
}

void WriteDateTime(ResultBuffer* out, double value) {
  constexpr double kLowest = -657434.0;
  constexpr double kHighest = 2958465.0;
  if (std::isnan(value)) value = 0;
  value = std::clamp(value, kLowest, kHighest);
  double whole = std::trunc(value);
  int64_t days = static_cast<int64_t>(whole);
  int64_t seconds = std::llround(std::fabs(value - whole) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++days;
  }
  int64_t y;
  int m, d;
  constexpr int64_t kEpochFrom1970 = -25569;  // 1899-12-30
  CivilFromDays(days + kEpochFrom1970, &y, &m, &d);
  char buf[96];
  int n = std::snprintf(buf, sizeof buf, "%lld年%d月%d日", static_cast<long long>(y), m, d);
  out->Append(buf, static_cast<size_t>(n));
  if (seconds == 0) return;
  int h = static_cast<int>(seconds / 3600), mi = static_cast<int>(seconds / 60 % 60),
      s = static_cast<int>(seconds % 60);
  if (s != 0) {
    n = std::snprintf(buf, sizeof buf, "%d时%d分%d秒", h, mi, s);
  } else if (mi != 0) {
    n = std::snprintf(buf, sizeof buf, "%d时%d分", h, mi);
  } else {
    n = std::snprintf(buf, sizeof buf, "%d时", h);
  }
  out->Append(buf, static_cast<size_t>(n));
}

// Full-width forms to their ASCII bytes (the step ToInteger takes before the atoi rule).
void FoldFullWidth(const unsigned char* t, ResultBuffer* out) {
  for (size_t i = 0; t[i] != 0;) {
    unsigned char b = t[i];
    if (!cmd::IsLead(b) || t[i + 1] == 0) {
      out->AppendByte(b);
      ++i;
      continue;
    }
    unsigned char c = t[i + 1];
    if (b == 0xA3 && c >= 0xA1 && c <= 0xFE) {
      out->AppendByte(static_cast<unsigned char>(c - 0x80));
    } else if (b == 0xA1 && c == 0xA1) {
      out->AppendByte(' ');
    } else if (b == 0xA1 && c == 0xAB) {
      out->AppendByte(0x7E);
    } else if (b == 0xA1 && (c == 0xEE || c == 0xEF)) {
      out->AppendByte(0x2A);
    } else {
      out->AppendByte(b);
      out->AppendByte(c);
    }
    i += 2;
  }
}

// The C library's atoi rule; values beyond the 32-bit range saturate.
int32_t Atoi(const unsigned char* p, size_t n) {
  size_t i = 0;
  while (i < n && (p[i] == ' ' || (p[i] >= '\t' && p[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < n && (p[i] == '+' || p[i] == '-')) negative = p[i++] == '-';
  int64_t v = 0;
  for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i) {
    v = v * 10 + (p[i] - '0');
    if (v > 2147483648LL) v = 2147483648LL;
  }
  if (negative) v = -v;
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int32_t IntegerOf(const ArgRecord& r) {
  switch (r.type()) {
    case kTypeBool:
    case kTypeInt:
    case kTypeAddress:
      return r.i32();
    case kTypeByte:
      return r.u8();
    case kTypeShort:
      return r.i16();
    case kTypeLong:
    case kTypeFloat:
    case kTypeDouble:
      return cmd::IntOf(r);
    case kTypeText: {
      ResultBuffer folded;
      FoldFullWidth(cmd::TextOf(r), &folded);
      return Atoi(folded.data(), folded.size());
    }
    default:
      return 0;
  }
}

// The bytes of an array block of a numeric element type: first dimension's size times the
// element width.
bool NumericArrayBytes(const ArgRecord& r, const unsigned char** data, size_t* n) {
  if (!IsArrayType(r.type()) || !IsNumericType(BaseType(r.type())) || r.ptr() == nullptr) return false;
  int32_t header[2];
  std::memcpy(header, r.ptr(), sizeof header);
  int64_t first = header[0] >= 1 && header[1] > 0 ? header[1] : 0;
  *data = ArrayElements(r.ptr());
  *n = static_cast<size_t>(first) * ElementWidth(BaseType(r.type()));
  return true;
}

}  // namespace

void ToText(ArgRecord* result, int32_t count, ArgRecord* args) {
  const ArgRecord& r = cmd::Arg(count, args, 0);
  ResultBuffer out;
  if (IsArrayType(r.type()) || r.type() == kTypeBytes) {
    const unsigned char* data = nullptr;
    size_t n = 0;
    if (r.type() == kTypeBytes) {
      const unsigned char* block = cmd::BytesOf(r);
      data = ByteSetData(block);
      n = static_cast<size_t>(rt::ByteSetLength(block));
    } else if (!NumericArrayBytes(r, &data, &n)) {
      return cmd::SetText(result, nullptr);
    }
    const void* zero = n ? std::memchr(data, 0, n) : nullptr;
    if (zero) n = static_cast<size_t>(static_cast<const unsigned char*>(zero) - data);
    return cmd::SetText(result, NewText(reinterpret_cast<const char*>(data), n));
  }
  switch (r.type()) {
    case kTypeByte:
      AppendDecimal(&out, r.u8());
      break;
    case kTypeShort:
      AppendDecimal(&out, r.i16());
      break;
    case kTypeInt:
      AppendDecimal(&out, r.i32());
      break;
    case kTypeLong:
      AppendDecimal(&out, r.i64());
      break;
    case kTypeDouble:
      WriteGeneral(&out, r.f64(), 13);
      break;
    case kTypeFloat:
      WriteGeneral(&out, RoundFloatForText(r.f32()), 6);
      break;
    case kTypeText:
      return cmd::SetText(result, NewText(r.text() ? r.text() : ""));
    case kTypeBool:
      out.Append(r.boolean() ? "真" : "假", 2);
      break;
    case kTypeDateTime:
      WriteDateTime(&out, r.f64());
      break;
    default:
      break;
  }
  cmd::SetText(result, out.TakeText());
}

void ToInteger(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->setI32(IntegerOf(cmd::Arg(count, args, 0)));
}

void ToByte(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->setU8(static_cast<uint8_t>(IntegerOf(cmd::Arg(count, args, 0)) & 0xFF));
}

void ToByteSet(ArgRecord* result, int32_t count, ArgRecord* args) {
  const ArgRecord& r = cmd::Arg(count, args, 0);
  const unsigned char* data = nullptr;
  size_t n = 0;
  if (IsArrayType(r.type())) {
    NumericArrayBytes(r, &data, &n);
  } else if (r.type() == kTypeText) {
    data = cmd::TextOf(r);
    n = std::strlen(reinterpret_cast<const char*>(data));
  } else if (r.type() == kTypeBytes) {
    const unsigned char* block = cmd::BytesOf(r);
    data = ByteSetData(block);
    n = static_cast<size_t>(rt::ByteSetLength(block));
  } else if (IsSystemType(r.type())) {
    data = r.value;
    n = cmd::ValueWidth(r.type());
  }
  cmd::SetBytes(result, NewByteSet(data, n));
}

}  // namespace rt::commands
