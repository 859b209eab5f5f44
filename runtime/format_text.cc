#include "runtime/format_text.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/c_locale.h"
#include "runtime/command_args.h"
#include "runtime/libraries.h"

namespace rt {
namespace {

// The formatted output of one call may not exceed this; a larger result is empty.
constexpr size_t kLargestResult = 64u << 20;

bool Is32BitKind(TypeCode t) {
  return t == kTypeInt || t == kTypeShort || t == kTypeByte || t == kTypeBool || t == kTypeAddress;
}

// Widens the exponent of an e/g conversion to three digits.
void WidenExponent(std::string* s) {
  size_t e = s->find_first_of("eE");
  if (e == std::string::npos || e + 1 >= s->size() || ((*s)[e + 1] != '+' && (*s)[e + 1] != '-')) return;
  size_t start = e + 2, end = start;
  while (end < s->size() && (*s)[end] >= '0' && (*s)[end] <= '9') ++end;
  if (end - start < 3) s->insert(start, 3 - (end - start), '0');
}

template <typename T>
bool FormatOne(std::string* out, const std::string& directive, T value) {
  int n = std::snprintf(nullptr, 0, directive.c_str(), value);
  if (n < 0 || out->size() + static_cast<size_t>(n) > kLargestResult) return false;
  std::string piece(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(piece.data(), piece.size(), directive.c_str(), value);
  piece.resize(static_cast<size_t>(n));
  out->append(piece);
  return true;
}

// Formats the whole text; false for any directive the values cannot serve.
bool Format(const char* format, int32_t count, const ArgRecord* values, std::string* out) {
  int32_t next = 0;
  for (const char* p = format; *p;) {
    if (*p != '%') {
      out->push_back(*p++);
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out->push_back('%');
      ++p;
      continue;
    }
    while (*p && std::strchr("-+ #0", *p)) ++p;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '*') return false;
    if (*p == '.') {
      ++p;
      if (*p == '*') return false;
      while (*p >= '0' && *p <= '9') ++p;
    }
    // Width and precision are taken as written. "l" is the platform's 32-bit long, which every
    // integer value here is, and is dropped; "h" and "hh" narrow an integer conversion to a
    // short or a char, as the C library does, and are kept for it.
    std::string directive(start, static_cast<size_t>(p - start));
    const char* modifier = p;
    while (*p == 'h') ++p;
    const size_t shorts = static_cast<size_t>(p - modifier);
    bool longModifier = false;
    if (*p == 'l') {
      longModifier = true;
      ++p;
    }
    // "hhh", "hl", "ll" (a 64-bit value, which no value here is): no length the values can serve.
    if (shorts > 2 || (shorts > 0 && longModifier) || *p == 'l') return false;
    char conversion = *p;
    if (conversion == '\0') return false;
    ++p;
    if (next >= count) return false;
    const ArgRecord& v = values[next++];
    TypeCode type = v.type();
    if (std::strchr("diouxX", conversion)) directive.append(modifier, shorts);
    directive.push_back(conversion);
    if (std::strchr("diouxXc", conversion)) {
      if (!Is32BitKind(type)) return false;
      if (conversion == 'c') {
        if (longModifier) return false;
        if (!FormatOne(out, directive, cmd::IntOf(v))) return false;
      } else if (std::strchr("di", conversion)) {
        if (!FormatOne(out, directive, cmd::IntOf(v))) return false;
      } else if (!FormatOne(out, directive, static_cast<unsigned>(cmd::IntOf(v)))) {
        return false;
      }
    } else if (std::strchr("eEfFgGaA", conversion)) {
      double d;
      if (type == kTypeDouble) {
        d = v.f64();
      } else if (type == kTypeFloat) {
        d = v.f32();
      } else {
        return false;
      }
      std::string piece;
      if (!FormatOne(&piece, directive, d)) return false;
      if (conversion != 'a' && conversion != 'A' && conversion != 'f' && conversion != 'F')
        WidenExponent(&piece);
      if (out->size() + piece.size() > kLargestResult) return false;
      out->append(piece);
    } else if (conversion == 's') {
      if (type != kTypeText || longModifier) return false;
      if (!FormatOne(out, directive, OrEmpty(v.text()))) return false;
    } else {
      return false;  // %n, %p and anything else
    }
  }
  return true;
}

}  // namespace

void FormatText(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->setPtr(nullptr, kTypeText);
  if (count < 1 || args[0].type() != kTypeText) return;
  for (int32_t i = 1; i < count; ++i) {
    TypeCode t = args[i].type();
    if (!IsSystemType(t) || IsArrayType(t) || t == kTypeBytes || t == kTypeLong || t == kTypeDateTime) return;
  }
  platform::CLocaleScope cLocale;
  std::string out;
  if (!Format(OrEmpty(args[0].text()), count - 1, args + 1, &out)) return;
  // The output is a text: a zero byte written by %c ends it.
  result->setPtr(NewText(out.c_str(), std::strlen(out.c_str())), kTypeText);
}

void AppendAppInterfaceCommands(std::vector<CommandFn>* table) { table->push_back(FormatText); }

Text FormatTextOf(const char* format, std::initializer_list<ArgRecord> values) {
  return TextResult(CallLibrary(kLibraryAppInterface, FormatText, TextArg(format), values));
}

}  // namespace rt
