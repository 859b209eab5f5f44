// Helpers for the JSON document tests: a readable dump of the node array and the invariant
// check the property tests and fuzz targets share.
#ifndef TESTS_JSON_JSON_TEST_UTIL_H_
#define TESTS_JSON_JSON_TEST_UTIL_H_

#include <string>

#include "app/program.h"
#include "json/json_document.h"
#include "runtime/dll_commands.h"

namespace json::testing_util {

// The code-page operations call the program's declared DLL commands.
inline void UseProgramDllCommands() {
  const rt::ProgramHeader& p = app::ProgramDescription();
  rt::InitDllCommands(p.dllCommands, p.dllCommandCount);
}

// One line per node: level|type|parent kind|name|value.
inline std::string Dump(const 类_JSON& doc) {
  std::string out;
  for (int32_t i = 1; const 节点* n = doc.NodeAt(i); ++i) {
    if (!out.empty()) out += '\n';
    out += std::to_string(n->层级) + "|" + std::to_string(n->类型) + "|" + std::to_string(n->父类型) + "|" +
           (n->名称 ? n->名称 : "") + "|" + (n->值 ? n->值 : "");
  }
  return out;
}

// Checks the invariants of a node array whose containers are all closed: levels step down
// from the root by at most one, each container's count value is its number of direct
// members, element names are "[0]", "[1]", ... in order. Empty when they hold, else what broke.
inline std::string CheckInvariants(const 类_JSON& doc, bool onlyClosed = true) {
  int32_t n = 0;
  while (doc.NodeAt(n + 1)) ++n;
  for (int32_t i = 1; i <= n; ++i) {
    const 节点* node = doc.NodeAt(i);
    if (node->层级 < 1) return "level below 1 at " + std::to_string(i);
    if (i > 1 && node->层级 > doc.NodeAt(i - 1)->层级 + 1) return "level jumps at " + std::to_string(i);
    if (node->类型 != kTypeObject && node->类型 != kTypeArray) continue;
    int32_t members = 0;
    for (int32_t r = i + 1; r <= n && doc.NodeAt(r)->层级 > node->层级; ++r) {
      const 节点* m = doc.NodeAt(r);
      if (m->层级 != node->层级 + 1) continue;
      if (node->类型 == kTypeArray) {
        std::string expected = "[" + std::to_string(members) + "]";
        if (!m->名称 || expected != m->名称) return "element name at " + std::to_string(r);
        if (m->父类型 != kParentArray) return "element parent kind at " + std::to_string(r);
      } else if (m->父类型 != kParentObject) {
        return "member parent kind at " + std::to_string(r);
      }
      ++members;
    }
    std::string value = node->值 ? node->值 : "";
    std::string expected = (node->类型 == kTypeObject ? "{ " : "[ ") + std::to_string(members) +
                           (node->类型 == kTypeObject ? " }" : " ]");
    if (onlyClosed && value != expected)
      return "count at " + std::to_string(i) + ": " + value + " vs " + expected;
  }
  return "";
}

}  // namespace json::testing_util

#endif  // TESTS_JSON_JSON_TEST_UTIL_H_
