// Queries of 类_JSON: path resolution, values, counts, members, parents, children, positions
// and paths, all by linear scans over the node array using the levels.
#include <cstring>
#include <string>
#include <vector>

#include "json/json_arrays.h"
#include "json/json_document.h"

namespace json {
namespace {

using internal::Count;
using internal::Elements;

// Whether the text `a` (null: empty) is `b`, which holds no zero byte; reads no further into
// `a` than b's length.
bool SameText(const char* a, std::string_view b) {
  if (a == nullptr) return b.empty();
  return std::strncmp(a, b.data(), b.size()) == 0 && a[b.size()] == '\0';
}

// Splits a path into its segments: every "[" (at a character boundary, never the second
// byte of a double-byte character) starts a segment of its own; "." separates segments.
std::vector<std::string> PathSegments(const char* path) {
  std::string p;
  for (const char* c = path; *c; ++c) {
    auto b = static_cast<unsigned char>(*c);
    if (b >= 0x80 && c[1] != '\0') {
      p.push_back(*c++);
      p.push_back(*c);
      continue;
    }
    if (*c == '[') p.push_back('.');
    p.push_back(*c);
  }
  std::vector<std::string> segments;
  size_t start = 0;
  for (;;) {
    size_t dot = p.find('.', start);
    segments.push_back(p.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  // An empty segment before an element segment comes from "x.[1]" or a leading "[": the
  // element belongs to the segment before, as in "x[1]".
  std::vector<std::string> kept;
  for (size_t i = 0; i < segments.size(); ++i) {
    if (segments[i].empty() && i + 1 < segments.size() && !segments[i + 1].empty() &&
        segments[i + 1][0] == '[') {
      continue;
    }
    kept.push_back(std::move(segments[i]));
  }
  if (kept.empty()) kept.emplace_back();
  return kept;
}

}  // namespace

int32_t 类_JSON::取节点数量() { return Count(集_节点组); }

int32_t 类_JSON::取节点索引(const char* path, std::optional<int32_t> index) {
  if (index && *index >= 1 && *index <= Count(集_节点组)) return *index;
  return 查找节点(path, 0, false);
}

int32_t 类_JSON::查找节点(const char* path, int32_t start, bool relative) {
  const char* p = rt::OrEmpty(path);
  int32_t n = Count(集_节点组);
  if (n == 0 || n < start) return 0;
  if (start < 2 && *p == '\0') return 1;
  std::vector<std::string> seg = PathSegments(p);
  int32_t s = static_cast<int32_t>(seg.size());
  if (relative && start >= 1) {
    // Relative to node `start`: the first segment names one of its members.
    if (*p == '\0') return start;
    int32_t base = Node(start)->层级;
    int32_t k = 1;
    for (int32_t r = start + 1; r <= n; ++r) {
      int32_t f = Node(r)->层级 - base;
      if (f < 1) break;
      if (f > k) continue;
      if (f < k) k = f;
      if (!SameText(Node(r)->名称, seg[k - 1])) continue;
      if (k < s) {
        ++k;
        continue;
      }
      return r;
    }
    return 0;
  }
  int32_t k = 1;
  for (int32_t r = 2; r <= n; ++r) {
    int32_t f = Node(r)->层级 - 1;
    if (f < 1) {
      if (s == 1 && seg[0].empty() && r >= start) return r;
      continue;
    }
    if (f > k) continue;
    if (f < k) k = f;
    if (!SameText(Node(r)->名称, seg[k - 1])) continue;
    if (k < s) {
      ++k;
      continue;
    }
    if (r < start) continue;
    return r;
  }
  return 0;
}

NodeRecord 类_JSON::取节点(const char* path, std::optional<int32_t> index, int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  return a ? NodeRecord(*Node(a)) : NodeRecord();
}

int32_t 类_JSON::取全部节点(NodeArray* out) {
  out->clear();
  int32_t n = Count(集_节点组);
  for (int32_t i = 1; i <= n; ++i) out->push_back(*Node(i));
  return n;
}

int32_t 类_JSON::取全部节点_交换变量(NodeArray* variable) {
  std::swap(集_节点组, *variable->slot());
  nodeCapacity_ = Count(集_节点组);
  return variable->size();
}

int32_t 类_JSON::取错误信息(rt::Text* message, int32_t* position, int32_t* line, int32_t* column) {
  if (message) *message = rt::Text(集_错误信息 ? std::string_view(集_错误信息) : std::string_view());
  if (position) *position = 集_错误位置;
  if (line) *line = 集_行号;
  if (column) *column = 集_列号;
  return 集_错误代码;
}

rt::Text 类_JSON::取值(const char* path, std::optional<int32_t> index, int32_t* outType, bool decode,
                       int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  if (a == 0) return rt::Text();
  const 节点* node = Node(a);
  if (outType) *outType = node->类型;
  std::string_view v = node->值 ? std::string_view(node->值) : std::string_view();
  if (!decode) return rt::Text(v);
  switch (node->类型) {
    case kTypeText: {
      rt::Text t(v);
      反转义文本(&t);
      return t;
    }
    case kTypeLogical: {
      std::string s(v);
      for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      }
      return rt::Text(s);
    }
    case kTypeObject:
    case kTypeArray:
      // "{ N }" gives N; an open container's value (shorter than that) gives the empty text.
      return v.size() < 5 ? rt::Text() : rt::Text(v.substr(2, v.size() - 4));
    default:
      return rt::Text(v);
  }
}

int32_t 类_JSON::取成员数(const char* path, std::optional<int32_t> index, int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  int32_t n = Count(集_节点组);
  int32_t level = a ? Node(a)->层级 + 1 : 1;
  int32_t count = 0;
  for (int32_t r = a ? a + 1 : 1; r <= n; ++r) {
    int32_t l = Node(r)->层级;
    if (l < level) break;
    if (l == level) ++count;
  }
  return count;
}

int32_t 类_JSON::取子孙数(const char* path, std::optional<int32_t> index, int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  int32_t n = Count(集_节点组);
  if (a == 0) return n > 0 && index.has_value() ? n - 1 : 0;
  const 节点* node = Node(a);
  if (node->类型 != kTypeObject && node->类型 != kTypeArray) return 0;
  return SubtreeEnd(a) - a - 1;
}

int32_t 类_JSON::SubtreeEnd(int32_t index) const {
  int32_t n = Count(集_节点组);
  int32_t level = Node(index)->层级;
  int32_t r = index + 1;
  while (r <= n && Node(r)->层级 > level) ++r;
  return r;
}

int32_t 类_JSON::取成员(const char* path, std::optional<int32_t> index, NodeArray* out,
                        std::optional<bool> includeSelf) {
  int32_t a = 取节点索引(path, index);
  out->clear();
  if (a == 0) return 0;
  bool self = includeSelf.value_or(true);
  int32_t n = 取子孙数("", a) + (self ? 1 : 0);
  int32_t first = self ? a : a + 1;
  for (int32_t i = 0; i < n; ++i) out->push_back(*Node(first + i));
  return n;
}

int32_t 类_JSON::取成员_交换变量(const char* path, std::optional<int32_t> index, NodeArray* variable,
                                 std::optional<bool> includeSelf) {
  int32_t a = 取节点索引(path, index);
  if (a == 0) {
    variable->clear();
    return 0;
  }
  bool self = includeSelf.value_or(true);
  int32_t n = 取子孙数("", a) + (self ? 1 : 0);
  int32_t first = self ? a : a + 1;
  while (variable->size() < n) variable->push_back(节点{});
  节点** theirs = Elements<节点*>(*variable->slot());
  for (int32_t i = 0; i < n; ++i) {
    节点*& mine = Elements<节点*>(集_节点组)[first + i - 1];
    theirs[i]->层级 = mine->层级;
    std::swap(mine, theirs[i]);
  }
  return n;
}

int32_t 类_JSON::ParentOf(int32_t index) const {
  if (index <= 1 || index > Count(集_节点组)) return 0;
  int32_t level = Node(index)->层级;
  for (int32_t r = index - 1; r >= 1; --r) {
    if (Node(r)->层级 < level) return r;
  }
  return 0;
}

int32_t 类_JSON::取父节点(const char* path, std::optional<int32_t> index, std::optional<int32_t> levels,
                          int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  if (a == 0) return 0;
  int32_t up = levels.value_or(1);
  if (up == 0) return a;
  if (a <= 1 || up < 0) return 0;
  int32_t reference = Node(a)->层级;
  for (int32_t r = a - 1; r >= 1; --r) {
    if (Node(r)->层级 < reference) {
      reference = Node(r)->层级;
      if (--up == 0) return r;
    }
  }
  return 0;
}

int32_t 类_JSON::取子节点(const char* path, std::optional<int32_t> index, int32_t position,
                          int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  if (a == 0 || position < 0) return 0;
  int32_t n = Count(集_节点组);
  int32_t level = Node(a)->层级;
  int32_t k = 0;
  for (int32_t r = a + 1; r <= n; ++r) {
    int32_t l = Node(r)->层级;
    if (l <= level) break;
    if (l == level + 1 && k++ == position) return r;
  }
  return 0;
}

int32_t 类_JSON::取节点位置(const char* path, std::optional<int32_t> index, int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  if (a == 0) return *rt::OrEmpty(path) == '\0' ? -1 : 0;
  int32_t level = Node(a)->层级;
  int32_t count = 0;
  for (int32_t r = a - 1; r >= 1; --r) {
    int32_t l = Node(r)->层级;
    if (l < level) break;
    if (l == level) ++count;
  }
  return count;
}

rt::Text 类_JSON::取节点路径(int32_t index) {
  if (index < 2 || index > Count(集_节点组)) return rt::Text();
  std::string path;
  int32_t current = index;
  for (;;) {
    int32_t parent = ParentOf(current);
    if (parent == 0) break;
    std::string piece = Node(current)->名称 ? Node(current)->名称 : "";
    if (Node(parent)->类型 == kTypeObject && ParentOf(parent) != 0) piece.insert(0, ".");
    path.insert(0, piece);
    current = parent;
  }
  return rt::Text(path);
}

}  // namespace json
