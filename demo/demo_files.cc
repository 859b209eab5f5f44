#include "demo/demo_files.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace demo {
namespace {

uint64_t SplitMix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ull;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
  return x ^ (x >> 31);
}

// The file's bytes come in 8-byte words, word i being a mix of the path's hash and i, so that
// any slice is made without the bytes before it.
uint64_t Word(uint64_t seed, uint64_t index) { return SplitMix(seed ^ (index * 0xd6e8feb86659fd93ull)); }

bool ReadNumber(std::string_view text, uint64_t* out) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

uint64_t Fnv1a(std::string_view text) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

void DemoFile::Fill(uint64_t offset, char* out, std::size_t count) const {
  const uint64_t seed = Fnv1a(path);
  while (count > 0) {
    uint64_t word = Word(seed, offset / 8);
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(word >> (8 * i));
    std::size_t at = static_cast<std::size_t>(offset % 8);
    std::size_t n = std::min<std::size_t>(8 - at, count);
    std::memcpy(out, bytes + at, n);
    out += n;
    offset += n;
    count -= n;
  }
}

std::string DemoFile::Bytes(uint64_t offset, uint64_t count) const {
  std::string out(static_cast<std::size_t>(count), '\0');
  Fill(offset, out.data(), out.size());
  return out;
}

DemoFile MakeFile(std::string_view path, FileFault fault) {
  DemoFile file;
  file.path = std::string(path);
  file.length = kMinFileLength + SplitMix(Fnv1a(path)) % kFileLengthSpread;
  file.fault = fault;
  return file;
}

RangeRequest ReadRange(std::string_view header, uint64_t length) {
  RangeRequest whole;
  constexpr std::string_view kUnit = "bytes=";
  if (!header.starts_with(kUnit)) return whole;
  std::string_view range = header.substr(kUnit.size());
  std::size_t dash = range.find('-');
  if (dash == std::string_view::npos || range.find(',') != std::string_view::npos) return whole;
  std::string_view from = range.substr(0, dash), to = range.substr(dash + 1);
  RangeRequest r;
  r.kind = RangeRequest::kPart;
  uint64_t a = 0, b = 0;
  if (from.empty()) {  // the last b bytes
    if (!ReadNumber(to, &b)) return whole;
    if (b == 0 || length == 0) return {RangeRequest::kUnsatisfiable};
    r.first = b >= length ? 0 : length - b;
    r.last = length - 1;
    return r;
  }
  if (!ReadNumber(from, &a)) return whole;
  if (to.empty()) {
    b = length == 0 ? 0 : length - 1;
  } else if (!ReadNumber(to, &b) || b < a) {
    return whole;  // not a valid range, so the header is ignored
  }
  if (a >= length) return {RangeRequest::kUnsatisfiable};
  r.first = a;
  r.last = std::min(b, length - 1);
  return r;
}

}  // namespace demo
