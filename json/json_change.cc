// Changes of 类_JSON: values, names, inserted and deleted members, grafted documents.
// Each keeps the node array's invariants: levels, the counts in container values and
// consecutive "[i]" element names.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "json/json_arrays.h"
#include "json/json_document.h"
#include "json/json_element_name.h"

namespace json {
namespace {

using internal::Count;
using internal::ElementName;
using internal::Elements;

void Assign(char** field, char* text) {
  rt::MemFree(*field);
  *field = text;
}

char* NewTextOrNull(std::string_view s) { return s.empty() ? nullptr : rt::NewText(s); }

// A non-negative decimal number without sign or leading zeros, or one between "[" and "]".
bool ReadPosition(const char* text, int32_t* position) {
  std::string_view s = text ? std::string_view(text) : std::string_view();
  if (s.size() >= 2 && s.front() == '[' && s.back() == ']') s = s.substr(1, s.size() - 2);
  if (s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0')) return false;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > 0x7FFFFFFF) return false;
  *position = static_cast<int32_t>(v);
  return true;
}

// The value without any space (ASCII or full-width), ASCII letters lower-cased.
std::string Squeezed(const char* value) {
  std::string t;
  for (const char* c = rt::OrEmpty(value); *c; ++c) {
    auto b = static_cast<unsigned char>(*c);
    if (b >= 0x80) {
      if (c[1] == '\0') break;
      if (!(b == 0xA1 && static_cast<unsigned char>(c[1]) == 0xA1)) {
        t.push_back(*c);
        t.push_back(c[1]);
      }
      ++c;
    } else if (b != ' ') {
      t.push_back(b >= 'A' && b <= 'Z' ? static_cast<char>(b + 32) : *c);
    }
  }
  return t;
}

}  // namespace

// ---- Node array surgery ---------------------------------------------------------------------

void 类_JSON::RemoveRange(int32_t first, int32_t count) {
  if (count <= 0) return;
  int32_t n = Count(集_节点组);
  节点** e = Elements<节点*>(集_节点组);
  for (int32_t i = first; i < first + count; ++i) FreeNodeRecord(e[i - 1]);
  std::memmove(e + first - 1, e + first - 1 + count,
               static_cast<size_t>(n - (first - 1 + count)) * sizeof(节点*));
  internal::SetCount(集_节点组, n - count);
}

void 类_JSON::InsertRecords(int32_t before, 节点* const* records, int32_t count) {
  if (count <= 0) return;
  int32_t n = Count(集_节点组);
  internal::Reserve<节点*>(&集_节点组, &nodeCapacity_, static_cast<int64_t>(n) + count);
  节点** e = Elements<节点*>(集_节点组);
  std::memmove(e + before - 1 + count, e + before - 1, static_cast<size_t>(n - (before - 1)) * sizeof(节点*));
  std::memcpy(e + before - 1, records, static_cast<size_t>(count) * sizeof(节点*));
  internal::SetCount(集_节点组, n + count);
}

void 类_JSON::RecountContainer(int32_t index) {
  节点* c = Node(index);
  if (c == nullptr || (c->类型 != kTypeObject && c->类型 != kTypeArray)) return;
  int32_t members = 取成员数("", index);
  char buf[32];
  int len = std::snprintf(buf, sizeof buf, c->类型 == kTypeObject ? "{ %d }" : "[ %d ]", members);
  Assign(&c->值, rt::NewText(buf, static_cast<size_t>(len)));
}

void 类_JSON::RenumberElements(int32_t arrayIndex) {
  节点* a = Node(arrayIndex);
  if (a == nullptr || a->类型 != kTypeArray) return;
  int32_t level = a->层级 + 1;
  int32_t end = SubtreeEnd(arrayIndex);
  int32_t k = 0;
  for (int32_t r = arrayIndex + 1; r < end; ++r) {
    节点* e = Node(r);
    if (e->层级 != level) continue;
    Assign(&e->名称, ElementName(k++));
    e->父类型 = kParentArray;
  }
}

// ---- The change operations --------------------------------------------------------------------

bool 类_JSON::置值(const char* path, std::optional<int32_t> index, const char* value,
                   std::optional<int32_t> type, std::optional<int32_t> escapeFlags, int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  if (a == 0) return false;
  int32_t t = type.value_or(0);
  if (t < 0 || t > 3) t = 0;
  int32_t flags = escapeFlags.value_or(1);
  RemoveRange(a + 1, SubtreeEnd(a) - a - 1);
  节点* node = Node(a);
  bool squeezed = false;
  std::string s;
  if (t != 0) {
    node->类型 = t;
  } else if (node->类型 != kTypeText) {
    s = Squeezed(value);
    squeezed = true;
    node->类型 = 是否数值(s) ? kTypeNumber : (s == "true" || s == "false") ? kTypeLogical : kTypeText;
  }
  if (node->类型 == kTypeText) {
    if (flags > 0) {
      rt::Text escaped;
      转义文本(value, &escaped, (flags & 2) != 0, (flags & 4) != 0);
      Assign(&node->值, escaped.release());
    } else {
      // Stored as given: a caller who escaped the text already gets it back unchanged.
      Assign(&node->值, NewTextOrNull(rt::OrEmpty(value)));
    }
  } else {
    if (!squeezed) s = Squeezed(value);
    Assign(&node->值, NewTextOrNull(s));
  }
  return true;
}

bool 类_JSON::置节点名(const char* path, std::optional<int32_t> index, const char* name,
                       std::optional<int32_t> escapeFlags, int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  if (a == 0) return false;
  节点* node = Node(a);
  if (node->父类型 != kParentArray) {
    if (!escapeFlags || *escapeFlags != 0) {
      int32_t flags = escapeFlags.value_or(0);
      rt::Text escaped;
      转义文本(name, &escaped, (flags & 2) != 0, (flags & 4) != 0);
      Assign(&node->名称, escaped.release());
    } else {
      Assign(&node->名称, NewTextOrNull(rt::OrEmpty(name)));
    }
    return true;
  }
  int32_t position;
  if (!ReadPosition(name, &position)) return false;
  int32_t parent = ParentOf(a);
  if (parent == 0) return false;
  // The array's elements as subtrees, the moved one taken out and put back at its position.
  int32_t level = Node(parent)->层级 + 1;
  int32_t end = SubtreeEnd(parent);
  std::vector<std::vector<节点*>> elements;
  std::vector<节点*> moved;
  for (int32_t r = parent + 1; r < end;) {
    int32_t stop = SubtreeEnd(r);
    std::vector<节点*> subtree(Elements<节点*>(集_节点组) + r - 1, Elements<节点*>(集_节点组) + stop - 1);
    if (r == a) {
      moved = std::move(subtree);
    } else {
      elements.push_back(std::move(subtree));
    }
    r = stop;
  }
  while (static_cast<int32_t>(elements.size()) < position) {
    节点* filler = NewNodeRecord();
    filler->层级 = level;
    filler->类型 = kTypeNull;
    filler->值 = rt::NewText("null");
    filler->父类型 = kParentArray;
    elements.push_back({filler});
  }
  elements.insert(elements.begin() + position, std::move(moved));
  std::vector<节点*> order;
  for (auto& e : elements) order.insert(order.end(), e.begin(), e.end());
  // Same records (plus the fillers) in a new order: swap the pointers in place.
  int32_t old = end - parent - 1;
  int32_t extra = static_cast<int32_t>(order.size()) - old;
  if (extra > 0) {
    std::vector<节点*> none(static_cast<size_t>(extra), nullptr);
    InsertRecords(end, none.data(), extra);
  }
  std::memcpy(Elements<节点*>(集_节点组) + parent, order.data(), order.size() * sizeof(节点*));
  RenumberElements(parent);
  RecountContainer(parent);
  return true;
}

int32_t 类_JSON::插入成员(const char* path, std::optional<int32_t> index, std::optional<int32_t> position,
                          const char* name) {
  int32_t a = 取节点索引(path, index);
  if (a == 0) return 0;
  节点* target = Node(a);
  if (target->类型 != kTypeObject && target->类型 != kTypeArray) return 0;
  if (position && *position < 0) return 0;
  bool isArray = target->类型 == kTypeArray;
  int32_t level = target->层级 + 1;
  int32_t members = 取成员数("", a);
  int32_t pos;
  if (position) {
    pos = *position;
  } else if (!ReadPosition(name, &pos)) {
    pos = members;
  }
  auto make = [&](char* nodeName) {
    节点* r = NewNodeRecord();
    r->名称 = nodeName;
    r->值 = rt::NewText("null");
    r->层级 = level;
    r->类型 = kTypeNull;
    r->父类型 = isArray ? kParentArray : kParentObject;
    return r;
  };
  int32_t result;
  if (pos < members) {
    int32_t before = 取子节点("", a, pos);
    节点* r = make(isArray ? ElementName(pos) : NewTextOrNull(rt::OrEmpty(name)));
    InsertRecords(before, &r, 1);
    result = before;
    if (isArray) RenumberElements(a);
  } else {
    std::vector<节点*> records;
    if (isArray) {
      for (int32_t i = members; i < pos; ++i) records.push_back(make(ElementName(i)));
      records.push_back(make(ElementName(pos)));
    } else {
      records.push_back(make(NewTextOrNull(rt::OrEmpty(name))));
    }
    int32_t at = SubtreeEnd(a);
    InsertRecords(at, records.data(), static_cast<int32_t>(records.size()));
    result = at + static_cast<int32_t>(records.size()) - 1;
  }
  RecountContainer(a);
  return result;
}

bool 类_JSON::删除节点(const char* path, std::optional<int32_t> index, int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  if (a == 0) return false;
  int32_t parent = ParentOf(a);
  RemoveRange(a, SubtreeEnd(a) - a);
  if (parent != 0) {  // a node without a parent leaves nothing to rewrite
    RenumberElements(parent);
    RecountContainer(parent);
  }
  return true;
}

void 类_JSON::ReplaceWithRecords(int32_t index, 节点* const* records, int32_t count) {
  RemoveRange(index, SubtreeEnd(index) - index);
  InsertRecords(index, records, count);
}

bool 类_JSON::置节点文档(const char* path, std::optional<int32_t> index, const 类_JSON& other, bool takeName,
                         int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  int32_t count = Count(other.集_节点组);
  if (a == 0 || count == 0) return false;
  const 节点* replaced = Node(a);
  int32_t shift = replaced->层级 - other.Node(1)->层级;
  std::vector<节点*> copies;
  for (int32_t i = 1; i <= count; ++i) {
    节点* c = CopyNodeRecord(*other.Node(i));
    c->层级 += shift;
    copies.push_back(c);
  }
  Assign(&copies[0]->名称, replaced->名称 ? rt::NewText(replaced->名称) : nullptr);
  copies[0]->父类型 = replaced->父类型;
  int32_t parent = ParentOf(a);
  ReplaceWithRecords(a, copies.data(), count);
  if (takeName && other.Node(1)->父类型 == kParentObject) {
    // The name is taken as stored, never escaped a second time.
    置节点名("", a, other.Node(1)->名称, 0);
  }
  if (parent != 0 && count > 1) {
    // A member list (naming mode) grafted in adds siblings: the parent is rewritten.
    for (int32_t r = a; r < a + count; ++r) {
      if (Node(r)->层级 == Node(parent)->层级 + 1)
        Node(r)->父类型 = Node(parent)->类型 == kTypeArray ? kParentArray : kParentObject;
    }
    RenumberElements(parent);
    RecountContainer(parent);
  }
  return true;
}

bool 类_JSON::置JSON文本(const char* path, std::optional<int32_t> index, const char* json, bool takeName,
                         int32_t* outIndex) {
  int32_t a = 取节点索引(path, index);
  if (outIndex) *outIndex = a;
  if (a == 0) return false;
  类_JSON temporary;
  // Only a text that parses without error and is complete is grafted.
  if (temporary.解析文本(json, true, true) != 0 || !temporary.是否解析完毕()) return false;
  temporary.补全结束符();
  return 置节点文档("", a, temporary, takeName, outIndex);
}

int32_t 类_JSON::取节点文档(const char* path, std::optional<int32_t> index, 类_JSON* target) {
  NodeArray copies;
  int32_t n = 取成员(path, index, &copies, true);
  if (n == 0) return 0;
  int32_t shift = copies.at(1).层级 - 1;
  for (int32_t i = 1; i <= n; ++i) copies.at(i).层级 -= shift;
  target->初始化();
  target->取全部节点_交换变量(&copies);
  return n;
}

}  // namespace json
