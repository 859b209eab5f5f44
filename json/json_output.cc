// Text output of 类_JSON: a node and its descendants written back as compact or formatted
// JSON text, collected in one RapidString per call.
#include <string>
#include <vector>

#include "json/json_arrays.h"
#include "json/json_document.h"

namespace json {

int32_t 类_JSON::取JSON文本(const char* path, std::optional<int32_t> index, rt::Text* out, bool formatted,
                            int32_t* outIndex) {
  int32_t s = 取节点索引(path, index);
  if (outIndex) *outIndex = s;
  if (s == 0) return 0;
  rt::RapidString text;
  const char* lineBreak = formatted ? "\r\n" : "";
  auto tabs = [&](int32_t d) {
    if (!formatted || d <= 0) return;
    std::string t(static_cast<size_t>(d), '\t');
    text.AppendText(t.c_str());
  };
  std::vector<uint8_t> open;  // types (4 or 5) of the containers opened
  int32_t depth = 0;
  int32_t base = Node(s)->层级;
  int32_t current = base;
  bool separator = false;
  int32_t written = 0;
  auto close = [&]() {
    depth -= 1;
    text.AppendText(lineBreak);
    tabs(depth);
    text.AppendText(open.back() == kTypeObject ? "}" : "]");
    open.pop_back();
  };
  int32_t n = internal::Count(集_节点组);
  for (int32_t r = s; r <= n; ++r) {
    const 节点* node = Node(r);
    if (r > s && node->层级 <= base) break;
    if (node->层级 < current) {
      for (int32_t k = current - node->层级; k > 0 && !open.empty(); --k) close();
      current = base + depth;
      separator = true;
    }
    if (separator) {
      text.AppendText(",");
      text.AppendText(lineBreak);
    }
    tabs(depth);
    bool member = node->父类型 == kParentObject;
    if (member) {
      text.AppendText("\"");
      text.AppendText(node->名称);
      text.AppendText("\":");
      if (formatted) text.AppendText("\t");
    }
    if (node->类型 == kTypeObject || node->类型 == kTypeArray) {
      depth += 1;
      current += 1;
      open.push_back(static_cast<uint8_t>(node->类型));
      if (formatted && member) {
        text.AppendText(lineBreak);
        tabs(depth - 1);
      }
      text.AppendText(node->类型 == kTypeObject ? "{" : "[");
      text.AppendText(lineBreak);
      separator = false;
    } else {
      switch (node->类型) {
        case kTypeText:
        case kTypeUndetermined:
          text.AppendText("\"");
          text.AppendText(node->值);
          text.AppendText("\"");
          break;
        case kTypeNull:
          text.AppendText("null");
          break;
        case kTypeLogical: {
          std::string v = node->值 ? node->值 : "";
          for (char& c : v) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
          }
          text.AppendText(v.c_str());
          break;
        }
        default:
          text.AppendText(node->值);
          break;
      }
      separator = true;
    }
    ++written;
  }
  while (!open.empty()) close();
  if (written == 1) text.AppendText("\r\n");
  *out = text.GetText();
  return written;
}

}  // namespace json
