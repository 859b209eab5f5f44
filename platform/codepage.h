// Code-page conversion between the runtime's texts (code page 936) or UTF-8 and UTF-16, with
// the platform's rules: invalid input becomes U+FFFD, a character the target lacks becomes
// "?" (or the given default character).
//
// Thread contract: safe from any thread (conversion descriptors are kept per thread).
#ifndef PLATFORM_CODEPAGE_H_
#define PLATFORM_CODEPAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr uint32_t kCodePageAnsi = 0;  // the system's ANSI code page: 936 here
inline constexpr uint32_t kCodePageGbk = 936;
inline constexpr uint32_t kCodePageUtf8 = 65001;

// Converts `srcLength` bytes (-1: up to and including the terminating zero) to UTF-16.
// With `dstLength` 0, returns the number of UTF-16 units needed; otherwise writes at most
// `dstLength` units and returns how many, or 0 when they do not fit or the input is empty.
int32_t MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* src, int32_t srcLength,
                            char16_t* dst, int32_t dstLength);
// The reverse direction; `usedDefault`, when not null, is set to 1 when a character could
// not be represented.
int32_t WideCharToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* src, int32_t srcLength,
                            char* dst, int32_t dstLength, const char* defaultChar, int32_t* usedDefault);
// Number of UTF-16 units before the terminating zero; 0 for null.
int32_t lstrlenW(const char16_t* s);

// Conveniences over the two conversions for the toolkit boundary.
std::u16string ToUtf16(uint32_t codePage, std::string_view bytes);
std::string FromUtf16(uint32_t codePage, std::u16string_view text);
inline std::string GbkToUtf8(std::string_view gbk) {
  return FromUtf16(kCodePageUtf8, ToUtf16(kCodePageGbk, gbk));
}
inline std::string Utf8ToGbk(std::string_view utf8) {
  return FromUtf16(kCodePageGbk, ToUtf16(kCodePageUtf8, utf8));
}

}  // namespace platform

#endif  // PLATFORM_CODEPAGE_H_
