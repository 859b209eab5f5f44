#include "json/json_document.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/json/json_test_util.h"

namespace json {
namespace {

using testing_util::Dump;

// Itanium C++ ABI: a pointer to a virtual member function holds 1 + the slot's byte offset.
template <typename M>
int64_t SlotOf(M member) {
  static_assert(sizeof(M) == 2 * sizeof(uintptr_t));
  uintptr_t words[2];
  std::memcpy(words, &member, sizeof words);
  return static_cast<int64_t>((words[0] - 1) / sizeof(void*));
}

TEST(JsonDocumentTest, OperationsSitInTheTableSlotOrder) {
  EXPECT_EQ(SlotOf(&类_JSON::销毁), 0);
  EXPECT_EQ(SlotOf(&类_JSON::复制), 1);
  EXPECT_EQ(SlotOf(&类_JSON::取全部节点_交换变量), 4);
  EXPECT_EQ(SlotOf(&类_JSON::取错误信息), 10);
  EXPECT_EQ(SlotOf(&类_JSON::取值), 11);
  EXPECT_EQ(SlotOf(&类_JSON::查找节点), 14);
  EXPECT_EQ(SlotOf(&类_JSON::取JSON文本), 18);
  EXPECT_EQ(SlotOf(&类_JSON::取节点路径), 24);
  EXPECT_EQ(SlotOf(&类_JSON::解析文本), 25);
  EXPECT_EQ(SlotOf(&类_JSON::加入json字节集), 27);
  EXPECT_EQ(SlotOf(&类_JSON::初始化), 31);
  EXPECT_EQ(SlotOf(&类_JSON::大括号), 33);
  EXPECT_EQ(SlotOf(&类_JSON::对象值_获取文本), 39);
  EXPECT_EQ(SlotOf(&类_JSON::新建节点), 41);
}

TEST(JsonDocumentTest, NodeRecordLayout) {
  EXPECT_EQ(offsetof(节点, 名称), 0u);
  EXPECT_EQ(offsetof(节点, 值), sizeof(char*));
  EXPECT_EQ(offsetof(节点, 层级), 2 * sizeof(char*));
  EXPECT_EQ(offsetof(节点, 类型), 2 * sizeof(char*) + 4);
  EXPECT_EQ(offsetof(节点, 父类型), 2 * sizeof(char*) + 8);
  EXPECT_EQ(sizeof(节点::父类型), 1u);
}

TEST(JsonDocumentTest, NewObjectIsEmpty) {
  类_JSON doc;
  rt::Text message;
  EXPECT_EQ(doc.取节点数量(), 0);
  EXPECT_EQ(doc.取错误信息(&message), 0);
  EXPECT_TRUE(message.empty());
  EXPECT_EQ(doc.取值("a").get(), nullptr);
}

TEST(JsonDocumentTest, CopiesAreDeepAndIndependent) {
  类_JSON source;
  source.解析文本(R"({"a":{"b":[1,2]},"c":"x"})");
  类_JSON copy(source);
  EXPECT_EQ(Dump(copy), Dump(source));
  EXPECT_EQ(copy.取值("a.b[1]"), "2");
  source.初始化();
  EXPECT_EQ(source.取节点数量(), 0);
  EXPECT_EQ(copy.取值("c"), "x");
  // An open parse is copied with its state and goes on in the copy alone.
  类_JSON open;
  open.加入json文本(R"({"a":[1,)");
  类_JSON more;
  more.复制(open);
  more.加入json文本("2]}");
  EXPECT_TRUE(more.是否解析完毕());
  EXPECT_EQ(more.取值("a", std::nullopt, nullptr, true), "2");
  EXPECT_FALSE(open.是否解析完毕());
  // The text buffer was cloned: the copy's pending characters are its own.
  类_JSON half;
  half.加入json文本(R"({"k":"ab)");
  类_JSON other = half;
  half.加入json文本(R"(c"})");
  other.加入json文本(R"(d"})");
  EXPECT_EQ(half.取值("k"), "abc");
  EXPECT_EQ(other.取值("k"), "abd");
  EXPECT_FALSE(copy.取值("a").empty());
  copy = copy;  // self-assignment keeps the document
  EXPECT_EQ(copy.取值("c"), "x");
}

TEST(JsonDocumentTest, DestroyedObjectHoldsNothingAndStaysUsable) {
  类_JSON doc;
  doc.解析文本("[1,2]", true);
  doc.解析文本("[1,2", true);
  doc.销毁();
  EXPECT_EQ(doc.取节点数量(), 0);
  EXPECT_EQ(doc.取错误信息(), 0);
  EXPECT_EQ(doc.解析文本("[3]"), 0);
  EXPECT_EQ(doc.取值("[0]"), "3");
}

}  // namespace
}  // namespace json
