// Fuzz target: for any document that a strict parse accepts and that closes itself (complete
// before the auto-close), the compact text of its root parses again to the same node array,
// and the formatted text too. An empty value (a member with nothing after its colon) is
// written as null, so it is compared as "null". The auto-close reads an unfinished bare
// value leniently, as an undetermined word, which the writer quotes: such documents are not
// complete texts and stay outside the property. So do byte sets holding a zero byte: a
// stored text ends there, so the written text cannot say what the bytes said.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "json/json_document.h"
#include "tests/json/json_test_util.h"

namespace {

std::string Normalised(const json::类_JSON& doc) {
  std::string out;
  for (int32_t i = 1; const json::节点* n = doc.NodeAt(i); ++i) {
    std::string value = n->值 ? n->值 : "";
    if (n->类型 == json::kTypeNull) value = "null";
    out += std::to_string(n->层级) + "|" + std::to_string(n->类型) + "|" + std::to_string(n->父类型) + "|" +
           (n->名称 ? n->名称 : "") + "|" + value + "\n";
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  if (text.find('\0') != std::string::npos) return 0;
  json::类_JSON doc;
  doc.初始化();
  if (doc.加入json字节集(rt::ByteSet(text), true, false) != 0 || !doc.是否解析完毕()) return 0;
  std::string nodes = Normalised(doc);
  for (bool formatted : {false, true}) {
    rt::Text written;
    doc.取JSON文本("", std::nullopt, &written, formatted);
    json::类_JSON again;
    int32_t code = again.解析文本(written.c_str(), true, false);
    if (code != 0 || Normalised(again) != nodes) {
      std::fprintf(stderr, "round trip (%s) broke\ninput: %s\nwritten: %s\ncode %d\n%s\n---\n%s",
                   formatted ? "formatted" : "compact", text.c_str(), written.c_str(), code, nodes.c_str(),
                   Normalised(again).c_str());
      std::abort();
    }
  }
  return 0;
}
