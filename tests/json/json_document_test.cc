#include "json/json_document.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

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

// The slots of the given operations, in the order given.
template <typename... M>
std::vector<int64_t> SlotsOf(M... members) {
  return {SlotOf(members)...};
}

TEST(JsonDocumentTest, OperationsSitInTheTableSlotOrder) {
  const std::vector<int64_t> slots = SlotsOf(
      &类_JSON::销毁, &类_JSON::复制, &类_JSON::取节点数量, &类_JSON::取全部节点,
      &类_JSON::取全部节点_交换变量, &类_JSON::取节点, &类_JSON::取成员数, &类_JSON::取子孙数,
      &类_JSON::取成员, &类_JSON::取成员_交换变量, &类_JSON::取错误信息, &类_JSON::取值, &类_JSON::置值,
      &类_JSON::置节点名, &类_JSON::查找节点, &类_JSON::取父节点, &类_JSON::取子节点, &类_JSON::取节点位置,
      &类_JSON::取JSON文本, &类_JSON::插入成员, &类_JSON::删除节点, &类_JSON::置JSON文本,
      &类_JSON::置节点文档, &类_JSON::取节点文档, &类_JSON::取节点路径, &类_JSON::解析文本,
      &类_JSON::解析字节集, &类_JSON::加入json字节集, &类_JSON::加入json文本, &类_JSON::是否解析完毕,
      &类_JSON::补全结束符, &类_JSON::初始化, &类_JSON::取节点索引, &类_JSON::大括号, &类_JSON::对象名_获取,
      &类_JSON::对象值_等待冒号, &类_JSON::方括号, &类_JSON::对象值_准备获取, &类_JSON::对象值_获取其他,
      &类_JSON::对象值_获取文本, &类_JSON::取当前节点索引, &类_JSON::新建节点);
  std::vector<int64_t> order(42);
  std::iota(order.begin(), order.end(), 0);
  EXPECT_EQ(slots, order);
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
