#include <gtest/gtest.h>

#include <string>

#include "json/json_document.h"
#include "tests/json/json_test_util.h"

namespace json {
namespace {

class JsonQueryTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_util::UseProgramDllCommands(); }
};

// A video description as the video service answers it.
constexpr const char* kVideo =
    R"({"cover_url":"https:\/\/pic.example\/v\/cover.jpg?a=1\u0026b=2","title":"\u6d4b\u8bd5 video",)"
    R"("playlist":{"ld":{"play_url":"https:\/\/v.example\/ld.mp4","width":480},)"
    R"("sd":{"play_url":"https:\/\/v.example\/sd.mp4","width":720},)"
    R"("hd":{"play_url":"https:\/\/v.example\/hd.mp4","width":1280}},"duration":12.5})";

TEST_F(JsonQueryTest, VideoLookupPath) {
  类_JSON doc;
  doc.初始化();
  ASSERT_EQ(doc.解析文本(kVideo), 0);
  int32_t type = -1;
  EXPECT_EQ(doc.取值("cover_url", std::nullopt, &type, true), "https://pic.example/v/cover.jpg?a=1&b=2");
  EXPECT_EQ(type, kTypeText);
  EXPECT_EQ(doc.取值("title", std::nullopt, nullptr, true), "测试 video");
  EXPECT_EQ(doc.取值("playlist.hd.play_url", std::nullopt, nullptr, true), "https://v.example/hd.mp4");
  EXPECT_EQ(doc.取值("playlist.hd.play_url"), "https:\\/\\/v.example\\/hd.mp4");  // as stored
  NodeArray members;
  ASSERT_EQ(doc.取成员("playlist", std::nullopt, &members), 10);
  EXPECT_EQ(members.at(1).层级, 2);
  EXPECT_STREQ(members.at(1).名称, "playlist");
  std::string qualities;
  for (int32_t i = 1; i <= members.size(); ++i) {
    if (members.at(i).层级 == 3) qualities += std::string(members.at(i).名称) + " ";
  }
  EXPECT_EQ(qualities, "ld sd hd ");
  for (const char* q : {"ld", "sd", "hd"}) {
    EXPECT_EQ(doc.取值((std::string("playlist.") + q + ".play_url").c_str(), std::nullopt, nullptr, true),
              std::string("https://v.example/") + q + ".mp4");
  }
  EXPECT_EQ(doc.取成员("playlist", std::nullopt, &members, false), 9);
  EXPECT_STREQ(members.at(1).名称, "ld");
  EXPECT_EQ(doc.取成员("nothing", std::nullopt, &members), 0);
  EXPECT_EQ(members.size(), 0);
}

TEST_F(JsonQueryTest, PathsAndTheFirstMatch) {
  类_JSON doc;
  doc.解析文本(R"({"a":{"b":2},"x":[10,20],"d":1,"d":2,"m":[{"n":[5,{"o":6}]}]})");
  EXPECT_EQ(doc.查找节点("a.b"), 3);
  EXPECT_EQ(doc.查找节点("a"), 2);
  EXPECT_EQ(doc.查找节点(""), 1);
  EXPECT_EQ(doc.查找节点("b"), 0);
  EXPECT_EQ(doc.查找节点("a.c"), 0);
  EXPECT_EQ(doc.取值("x[1]"), "20");
  EXPECT_EQ(doc.查找节点("x.[1]"), doc.查找节点("x[1]"));  // the empty segment is dropped
  EXPECT_EQ(doc.查找节点("x.[1]"), 6);
  EXPECT_EQ(doc.查找节点("[0]"), 0);  // the root is never named
  EXPECT_EQ(doc.取值("d"), "1");      // the first in document order
  EXPECT_EQ(doc.取值("m[0].n[1].o"), "6");
  EXPECT_EQ(doc.取值("m.[0].n.[1].o"), "6");
  EXPECT_EQ(doc.查找节点("d", 8), 8);  // a start skips earlier matches
  EXPECT_EQ(doc.查找节点("d", 9), 0);
  EXPECT_EQ(doc.查找节点("n[1].o", 10, true), 14);  // relative to m[0]
  int32_t index = -1;
  EXPECT_EQ(doc.取值("", 6, nullptr, false, &index), "20");  // an index in range wins over the path
  EXPECT_EQ(index, 6);
  EXPECT_EQ(doc.取值("a.b", 99, nullptr, false, &index), "2");
  EXPECT_EQ(index, 3);
  int32_t type = -1;
  EXPECT_TRUE(doc.取值("zz", std::nullopt, &type, true, &index).empty());
  EXPECT_EQ(type, -1);  // untouched when not found
  EXPECT_EQ(index, 0);
  // Array elements in an array: their segments follow one another.
  类_JSON nested;
  nested.解析文本("[[1,[2,3]],4]");
  EXPECT_EQ(nested.取值("[0][1][0]"), "2");
}

TEST_F(JsonQueryTest, NamingModeDocuments) {
  类_JSON doc;
  doc.解析文本(R"("a":{"b":1},"c":{"b":2,"e":[7]})", false, true);
  EXPECT_EQ(doc.查找节点("a"), 0);  // top-level members are not reachable by name
  EXPECT_EQ(doc.查找节点("b"), 2);
  EXPECT_EQ(doc.取值("e[0]"), "7");
  EXPECT_EQ(doc.取成员数("zz"), 2);  // the number of top-level members
  EXPECT_EQ(doc.取节点路径(6), "e[0]");
  EXPECT_EQ(doc.查找节点("e[0]"), 6);
}

TEST_F(JsonQueryTest, DecodingByType) {
  类_JSON doc;
  doc.解析文本(R"({"s":"a\/b\/c","t":TRUE,"o":{"p":1,"q":2},"e":[],"n":null,"m":})");
  int32_t type = 0;
  EXPECT_EQ(doc.取值("s", std::nullopt, nullptr, true), "a/b/c");
  EXPECT_EQ(doc.取值("s"), "a\\/b\\/c");
  EXPECT_EQ(doc.取值("t", std::nullopt, &type, true), "true");
  EXPECT_EQ(type, kTypeLogical);
  EXPECT_EQ(doc.取值("o", std::nullopt, &type, true), "2");
  EXPECT_EQ(type, kTypeObject);
  EXPECT_EQ(doc.取值("o"), "{ 2 }");
  EXPECT_EQ(doc.取值("e", std::nullopt, nullptr, true), "0");
  EXPECT_EQ(doc.取值("n", std::nullopt, nullptr, true), "null");
  EXPECT_TRUE(doc.取值("m", std::nullopt, &type, true).empty());
  EXPECT_EQ(type, kTypeNull);
  // An open container after an unfinished document: its value is empty, so is the count.
  doc.初始化();
  doc.加入json文本(R"({"a":[1,{"b":2)");
  EXPECT_TRUE(doc.取值("a", std::nullopt, &type, true).empty());
  EXPECT_EQ(type, kTypeArray);
  EXPECT_TRUE(doc.取值("", std::nullopt, nullptr, true).empty());
  EXPECT_EQ(doc.取值("a[1]", std::nullopt, nullptr, true),
            "0");  // an element object holds "{ 0 }" while open
}

TEST_F(JsonQueryTest, CountsMembersAndExchange) {
  类_JSON doc;
  doc.解析文本(R"({"x":[10,20],"o":{"p":{"q":1},"r":2},"s":3})");
  int32_t index = -1;
  EXPECT_EQ(doc.取成员数("x", std::nullopt, &index), 2);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(doc.取成员数("o"), 2);
  EXPECT_EQ(doc.取成员数(""), 3);
  EXPECT_EQ(doc.取成员数("missing"), 1);  // not found: the level-1 nodes
  EXPECT_EQ(doc.取子孙数("o"), 3);
  EXPECT_EQ(doc.取子孙数("s"), 0);
  EXPECT_EQ(doc.取子孙数("missing"), 0);
  EXPECT_EQ(doc.取子孙数("missing", 0), 8);  // the index was given: node count - 1
  NodeArray members;
  EXPECT_EQ(doc.取成员("x", std::nullopt, &members), 3);
  EXPECT_STREQ(members.at(3).名称, "[1]");
  EXPECT_EQ(doc.取成员("s", std::nullopt, &members), 1);
  // Exchange: the caller gets the document's own records, the document the caller's, with
  // the document's levels kept.
  NodeArray mine;
  mine.push_back(节点{nullptr, nullptr, 9, kTypeNumber, 0});
  for (int i = 0; i < 4; ++i) mine.push_back(节点{});
  EXPECT_EQ(doc.取成员_交换变量("o", std::nullopt, &mine, false), 3);
  EXPECT_EQ(mine.size(), 5);  // a longer array keeps its extra records
  EXPECT_STREQ(mine.at(1).名称, "p");
  EXPECT_STREQ(mine.at(3).名称, "r");
  EXPECT_EQ(doc.NodeAt(6)->层级, 3);
  EXPECT_EQ(doc.NodeAt(6)->类型, kTypeNumber);
  EXPECT_EQ(doc.NodeAt(6)->名称, nullptr);
  EXPECT_EQ(doc.取成员_交换变量("o", std::nullopt, &mine, false), 3);  // and back
  EXPECT_EQ(doc.取值("o.p.q"), "1");
  // The whole array exchanged and back.
  NodeArray all;
  EXPECT_EQ(doc.取全部节点_交换变量(&all), 9);
  EXPECT_EQ(doc.取节点数量(), 0);
  EXPECT_EQ(doc.取全部节点_交换变量(&all), 0);
  EXPECT_EQ(doc.取值("o.r"), "2");
  EXPECT_EQ(doc.取全部节点(&all), 9);
  EXPECT_STREQ(all.at(9).名称, "s");
  EXPECT_EQ(doc.取节点("o.p", std::nullopt, &index).name(), "p");
  EXPECT_EQ(index, 6);
  EXPECT_EQ(doc.取节点("nope").level(), 0);
}

TEST_F(JsonQueryTest, ParentsChildrenPositionsAndPaths) {
  类_JSON doc;
  doc.解析文本(R"({"a":{"b":[{"c":1},{"c":2,"d":[3]}]},"e":5})");
  int32_t c = doc.查找节点("a.b[1].c");
  ASSERT_GT(c, 0);
  int32_t index = -1;
  EXPECT_EQ(doc.取父节点("a.b[1].c", std::nullopt, std::nullopt, &index), doc.查找节点("a.b[1]"));
  EXPECT_EQ(index, c);
  EXPECT_EQ(doc.取父节点("a.b[1].c", std::nullopt, 2), doc.查找节点("a.b"));
  EXPECT_EQ(doc.取父节点("a.b[1].c", std::nullopt, 4), 1);
  EXPECT_EQ(doc.取父节点("a.b[1].c", std::nullopt, 5), 0);
  EXPECT_EQ(doc.取父节点("a.b[1].c", std::nullopt, 0), c);
  EXPECT_EQ(doc.取父节点(""), 0);
  EXPECT_EQ(doc.取子节点("a.b", std::nullopt, 1), doc.查找节点("a.b[1]"));
  EXPECT_EQ(doc.取子节点("a.b", std::nullopt, 2), 0);
  EXPECT_EQ(doc.取子节点("a.b", std::nullopt, -1), 0);
  EXPECT_EQ(doc.取子节点("", std::nullopt, 1), doc.查找节点("e"));
  EXPECT_EQ(doc.取节点位置("a.b[1].d"), 1);
  EXPECT_EQ(doc.取节点位置("e"), 1);
  EXPECT_EQ(doc.取节点位置(""), 0);
  EXPECT_EQ(doc.取节点位置("zz"), 0);
  类_JSON empty;
  EXPECT_EQ(empty.取节点位置(""), -1);
  EXPECT_EQ(doc.取节点路径(1), "");
  EXPECT_EQ(doc.取节点路径(0), "");
  EXPECT_EQ(doc.取节点路径(99), "");
  // Every node's path resolves back to it (names are unique here).
  for (int32_t i = 2; i <= doc.取节点数量(); ++i) {
    rt::Text path = doc.取节点路径(i);
    EXPECT_EQ(doc.查找节点(path.c_str()), i) << path.str();
  }
  EXPECT_EQ(doc.取节点路径(doc.查找节点("a.b[1].d[0]")), "a.b[1].d[0]");
  类_JSON nested;
  nested.解析文本(R"({"a":{"b":[5]}})");
  EXPECT_EQ(nested.取节点路径(4), "a.b[0]");
}

}  // namespace
}  // namespace json
