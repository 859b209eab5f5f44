// Fuzz target: random bytes fed to 类_JSON in random pieces, in both checking modes and with
// or without top-level naming mode. After each document the node array must keep its
// invariants (levels, counts in container values, element names in order), and feeding in
// pieces must give exactly what feeding the whole gives.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "json/json_document.h"
#include "tests/json/json_test_util.h"

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& input) {
  std::fprintf(stderr, "%s\ninput: %s\n", what.c_str(), input.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool strict = data[0] & 1;
  const bool naming = data[0] & 2;
  uint32_t seed = data[1];
  std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

  json::类_JSON whole;
  whole.初始化();
  int32_t code = whole.加入json字节集(rt::ByteSet(text), strict, naming);
  whole.补全结束符();

  json::类_JSON pieces;
  pieces.初始化();
  bool first = true;
  for (size_t at = 0; at < text.size();) {
    seed = seed * 1103515245u + 12345u;
    size_t len = 1 + (seed >> 16) % 7;
    pieces.加入json字节集(rt::ByteSet(text.substr(at, len)),
                          first ? std::optional<bool>(strict) : std::nullopt, naming);
    first = false;
    at += len;
  }
  pieces.补全结束符();

  std::string nodes = json::testing_util::Dump(whole);
  if (nodes != json::testing_util::Dump(pieces)) Fail("pieces differ from the whole", text);
  if (pieces.取错误信息() != code && !text.empty()) Fail("error codes differ", text);
  if (whole.是否解析完毕()) {
    std::string broken = json::testing_util::CheckInvariants(whole);
    if (!broken.empty()) Fail("invariant: " + broken + "\n" + nodes, text);
  }
  // Queries and output on whatever was built must stay in bounds.
  rt::Text out;
  whole.取JSON文本("", std::nullopt, &out, (seed & 1) != 0);
  for (int32_t i = 1; i <= whole.取节点数量(); i += 1 + whole.取节点数量() / 16) {
    rt::Text path = whole.取节点路径(i);
    whole.查找节点(path.c_str());
    whole.取值("", i, nullptr, false);
    whole.取成员数("", i);
    whole.取父节点("", i);
  }
  return 0;
}
