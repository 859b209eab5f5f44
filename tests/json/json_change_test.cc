#include <gtest/gtest.h>

#include <string>

#include "json/json_document.h"
#include "tests/json/json_test_util.h"

namespace json {
namespace {

using testing_util::CheckInvariants;
using testing_util::Dump;

class JsonChangeTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_util::UseProgramDllCommands(); }

  std::string Compact(类_JSON& doc) {
    rt::Text out;
    doc.取JSON文本("", std::nullopt, &out);
    return out.str();
  }
};

TEST_F(JsonChangeTest, SetValueInfersTypesAndEscapes) {
  类_JSON doc;
  doc.解析文本(R"({"a":{"x":[1,2]},"b":"s","c":1})");
  int32_t index = 0;
  EXPECT_TRUE(doc.置值("a", std::nullopt, " 1 2.5 ", std::nullopt, std::nullopt, &index));
  EXPECT_EQ(index, 2);
  EXPECT_EQ(Dump(doc), "1|4|0||{ 3 }\n2|1|4|a|12.5\n2|2|4|b|s\n2|1|4|c|1");  // descendants gone
  EXPECT_TRUE(doc.置值("c", std::nullopt, "TRUE"));
  EXPECT_EQ(doc.取值("c", std::nullopt, &index), "true");
  EXPECT_EQ(index, kTypeLogical);
  EXPECT_TRUE(doc.置值("b", std::nullopt, "say \"hi\"/测"));  // a text stays text, escaped
  EXPECT_EQ(doc.取值("b"), "say \\\"hi\\\"/测");
  EXPECT_TRUE(doc.置值("b", std::nullopt, "a/测", kTypeText, 2 | 4));
  EXPECT_EQ(doc.取值("b"), "a\\/\\u6D4B");
  EXPECT_EQ(doc.取值("b", std::nullopt, nullptr, true), "a/测");
  EXPECT_TRUE(doc.置值("c", std::nullopt, "12", kTypeText));
  EXPECT_EQ(doc.取值("c", std::nullopt, &index), "12");
  EXPECT_EQ(index, kTypeText);
  // Escape flags 0: the text is stored as given, not lower-cased or stripped of blanks.
  EXPECT_TRUE(doc.置值("c", std::nullopt, "Already \\\"Escaped\\\"", kTypeText, 0));
  EXPECT_EQ(doc.取值("c"), "Already \\\"Escaped\\\"");
  EXPECT_TRUE(doc.置值("a", std::nullopt, "X y", 0, 0));  // automatic type: text, as given
  EXPECT_EQ(doc.取值("a", std::nullopt, &index), "X y");
  EXPECT_EQ(index, kTypeText);
  EXPECT_FALSE(doc.置值("missing", std::nullopt, "1"));
  EXPECT_EQ(Compact(doc), R"({"a":"X y","b":"a\/\u6D4B","c":"Already \"Escaped\""})");
}

TEST_F(JsonChangeTest, RenameMembersAndMoveElements) {
  类_JSON doc;
  doc.解析文本(R"({"a":1,"arr":[{"k":0},1,2]})");
  EXPECT_TRUE(doc.置节点名("a", std::nullopt, "new\"name"));
  EXPECT_EQ(doc.NodeAt(2)->名称, std::string("new\\\"name"));
  EXPECT_TRUE(doc.置节点名("", 2, "raw\\n", 0));
  EXPECT_EQ(doc.NodeAt(2)->名称, std::string("raw\\n"));
  // Moving an element (with its descendants) renumbers the elements and keeps the count.
  EXPECT_TRUE(doc.置节点名("arr[0]", std::nullopt, "2"));
  EXPECT_EQ(Compact(doc), R"({"raw\n":1,"arr":[1,2,{"k":0}]})");
  EXPECT_EQ(CheckInvariants(doc), "");
  EXPECT_TRUE(doc.置节点名("arr[2]", std::nullopt, "[0]"));
  EXPECT_EQ(Compact(doc), R"({"raw\n":1,"arr":[{"k":0},1,2]})");
  // Beyond the last element: null elements fill the gap.
  EXPECT_TRUE(doc.置节点名("arr[1]", std::nullopt, "4"));
  EXPECT_EQ(Compact(doc), R"({"raw\n":1,"arr":[{"k":0},2,null,null,1]})");
  EXPECT_EQ(doc.取值("arr"), "[ 5 ]");
  EXPECT_EQ(CheckInvariants(doc), "");
  for (const char* bad : {"-1", "01", "x", "[1", "", "+2"}) {
    EXPECT_FALSE(doc.置节点名("arr[0]", std::nullopt, bad)) << bad;
  }
  EXPECT_EQ(doc.取值("arr"), "[ 5 ]");
}

TEST_F(JsonChangeTest, InsertMembers) {
  类_JSON doc;
  doc.解析文本(R"({"o":{"a":1},"arr":[10,{"x":1},30],"n":5})");
  int32_t i = doc.插入成员("o", std::nullopt, std::nullopt, "b");
  EXPECT_EQ(i, 4);
  EXPECT_EQ(doc.NodeAt(i)->名称, std::string("b"));
  EXPECT_EQ(Compact(doc), R"({"o":{"a":1,"b":null},"arr":[10,{"x":1},30],"n":5})");
  i = doc.插入成员("arr", std::nullopt, 1);
  EXPECT_EQ(doc.NodeAt(i)->名称, std::string("[1]"));
  EXPECT_EQ(Compact(doc), R"({"o":{"a":1,"b":null},"arr":[10,null,{"x":1},30],"n":5})");
  EXPECT_EQ(CheckInvariants(doc), "");
  i = doc.插入成员("arr", std::nullopt, 6);  // beyond the end: no gap remains
  EXPECT_EQ(doc.取节点路径(i), "arr[6]");
  EXPECT_EQ(Compact(doc), R"({"o":{"a":1,"b":null},"arr":[10,null,{"x":1},30,null,null,null],"n":5})");
  EXPECT_EQ(doc.取值("arr"), "[ 7 ]");
  i = doc.插入成员("o", std::nullopt, std::nullopt, "0");  // a name that reads as a position
  EXPECT_EQ(Compact(doc).substr(0, 24), R"({"o":{"0":null,"a":1,"b")");
  EXPECT_EQ(CheckInvariants(doc), "");
  // Refusals change nothing.
  std::string before = Dump(doc);
  EXPECT_EQ(doc.插入成员("arr", std::nullopt, -1), 0);
  EXPECT_EQ(doc.插入成员("n", std::nullopt, 0), 0);
  EXPECT_EQ(doc.插入成员("missing", std::nullopt), 0);
  EXPECT_EQ(Dump(doc), before);
}

TEST_F(JsonChangeTest, DeleteNodes) {
  类_JSON doc;
  doc.解析文本(R"({"arr":[1,{"x":[2]},3,4],"o":{"a":1,"b":2}})");
  int32_t index = 0;
  EXPECT_TRUE(doc.删除节点("arr[1]", std::nullopt, &index));
  EXPECT_EQ(index, 4);
  EXPECT_EQ(Compact(doc), R"({"arr":[1,3,4],"o":{"a":1,"b":2}})");
  EXPECT_EQ(doc.取值("arr[2]"), "4");
  EXPECT_TRUE(doc.删除节点("o.a"));
  EXPECT_EQ(doc.取值("o"), "{ 1 }");
  EXPECT_EQ(CheckInvariants(doc), "");
  EXPECT_FALSE(doc.删除节点("o.a"));
  // A node without a parent: the root goes, nothing is rewritten.
  EXPECT_TRUE(doc.删除节点(""));
  EXPECT_EQ(doc.取节点数量(), 0);
  // A top-level member of a naming-mode document.
  类_JSON naming;
  naming.解析文本(R"("a":[1,2],"b":3)", false, true);
  EXPECT_TRUE(naming.删除节点("", 1));
  EXPECT_EQ(Dump(naming), "1|1|4|b|3");
}

TEST_F(JsonChangeTest, GraftDocumentsAndTexts) {
  类_JSON doc;
  doc.解析文本(R"({"a":1,"arr":[1,2],"z":0})");
  EXPECT_TRUE(doc.置JSON文本("a", std::nullopt, R"({"p":[true,{"q":"r"}]})"));
  EXPECT_EQ(Compact(doc), R"({"a":{"p":[true,{"q":"r"}]},"arr":[1,2],"z":0})");
  EXPECT_EQ(CheckInvariants(doc), "");
  EXPECT_TRUE(doc.置JSON文本("arr[0]", std::nullopt, R"(["x"])"));
  EXPECT_EQ(Compact(doc), R"({"a":{"p":[true,{"q":"r"}]},"arr":[["x"],2],"z":0})");
  // A member text with its name taken.
  EXPECT_TRUE(doc.置JSON文本("z", std::nullopt, R"("k\/1":{"v":2})", true));
  EXPECT_EQ(Compact(doc),
            R"({"a":{"p":[true,{"q":"r"}]},"arr":[["x"],2],"k\/1":{"v":2}})");  // not escaped twice
  // Only a complete text that parses without error is grafted.
  std::string before = Dump(doc);
  EXPECT_FALSE(doc.置JSON文本("a", std::nullopt, R"({"b":)"));
  EXPECT_FALSE(doc.置JSON文本("a", std::nullopt, R"({"b":1,})"));
  EXPECT_FALSE(doc.置JSON文本("missing", std::nullopt, "[1]"));
  EXPECT_EQ(Dump(doc), before);
  // Another document, and a member list that adds siblings.
  类_JSON other;
  other.解析文本(R"("m":1,"n":2)", false, true);
  EXPECT_TRUE(doc.置节点文档("arr[1]", std::nullopt, other));
  EXPECT_EQ(doc.取值("arr"), "[ 3 ]");
  EXPECT_EQ(CheckInvariants(doc), "");
  类_JSON empty;
  EXPECT_FALSE(doc.置节点文档("a", std::nullopt, empty));
}

TEST_F(JsonChangeTest, NodeDocuments) {
  类_JSON doc;
  doc.解析文本(R"({"v":{"playlist":{"hd":{"url":"u"}},"t":1}})");
  类_JSON part;
  part.解析文本("[9]");
  EXPECT_EQ(doc.取节点文档("v.playlist", std::nullopt, &part), 3);
  EXPECT_EQ(Dump(part), "1|4|4|playlist|{ 1 }\n2|4|4|hd|{ 1 }\n3|2|4|url|u");
  EXPECT_EQ(part.取值("hd.url"), "u");
  EXPECT_EQ(doc.取节点文档("nothing", std::nullopt, &part), 0);
  EXPECT_EQ(part.取节点数量(), 3);
}

}  // namespace
}  // namespace json
