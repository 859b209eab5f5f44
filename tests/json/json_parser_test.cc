#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "json/json_document.h"
#include "tests/json/json_test_util.h"

namespace json {
namespace {

using testing_util::CheckInvariants;
using testing_util::Dump;

std::string Parse(const char* text, bool strict = false, bool naming = false, int32_t* code = nullptr) {
  类_JSON doc;
  int32_t c = doc.解析文本(text, strict, naming);
  if (code) *code = c;
  return Dump(doc);
}

struct ErrorInfo {
  int32_t code, position, line, column;
  std::string message;
};

ErrorInfo StrictError(const char* text) {
  类_JSON doc;
  ErrorInfo e{};
  doc.解析文本(text, true);
  rt::Text message;
  e.code = doc.取错误信息(&message, &e.position, &e.line, &e.column);
  e.message = message.str();
  return e;
}

TEST(JsonParserTest, NodeListsInDocumentOrder) {
  EXPECT_EQ(Parse(R"({"a":[1,"x",{"b":null}]})"),
            "1|4|0||{ 1 }\n2|5|4|a|[ 3 ]\n3|1|5|[0]|1\n3|2|5|[1]|x\n3|4|5|[2]|{ 1 }\n4|6|4|b|null");
  EXPECT_EQ(Parse("{}"), "1|4|0||{ 0 }");
  EXPECT_EQ(Parse("[]"), "1|5|0||[ 0 ]");
  // Element names restart at [0] in every array; counts are per container.
  EXPECT_EQ(Parse(R"([{"a":[1,2]},[3,4,5]])"),
            "1|5|0||[ 2 ]\n2|4|5|[0]|{ 1 }\n3|5|4|a|[ 2 ]\n4|1|5|[0]|1\n4|1|5|[1]|2\n2|5|5|[1]|[ 3 ]\n"
            "3|1|5|[0]|3\n3|1|5|[1]|4\n3|1|5|[2]|5");
  // Escaped quotes stay raw; spaces inside a bare value are dropped; names are not decoded.
  EXPECT_EQ(Parse(R"({"s":"a\"b","n":1 2,"t\n":tr ue})"),
            "1|4|0||{ 3 }\n2|2|4|s|a\\\"b\n2|1|4|n|12\n2|3|4|t\\n|true");
  // Two backslashes and a quote end the text.
  EXPECT_EQ(Parse(R"(["a\\",1])"), "1|5|0||[ 2 ]\n2|2|5|[0]|a\\\\\n2|1|5|[1]|1");
}

TEST(JsonParserTest, LenientRepairs) {
  EXPECT_EQ(Parse(R"({"a":1,})"), "1|4|0||{ 2 }\n2|1|4|a|1\n2|6|4||");
  EXPECT_EQ(Parse("[1,]"), "1|5|0||[ 2 ]\n2|1|5|[0]|1\n2|6|5|[1]|");
  EXPECT_EQ(Parse("{a:TRUE}"), "1|4|0||{ 1 }\n2|3|4|a|true");
  EXPECT_EQ(Parse(R"({"n":1e5})"), "1|4|0||{ 1 }\n2|0|4|n|1e5");
  EXPECT_EQ(Parse(R"(var x = {"a":1})"), "1|4|0||{ 1 }\n2|1|4|a|1");
  EXPECT_EQ(Parse(R"({"a" 1})"), "1|4|0||{ 1 }\n2|1|4|a|1");  // the colon may be missing
  EXPECT_EQ(Parse("[,1]"), "1|5|0||[ 2 ]\n2|6|5|[0]|\n2|1|5|[1]|1");
  EXPECT_EQ(Parse(R"({"a":})"), "1|4|0||{ 1 }\n2|6|4|a|");
  EXPECT_EQ(Parse("[1}"), "1|5|0||[ 1 ]\n2|1|5|[0]|1");  // a wrong closer is taken as the right one
}

TEST(JsonParserTest, StrictErrorsWithMessagesAndPositions) {
  ErrorInfo e = StrictError(R"({"a":"x" "b":2})");
  EXPECT_EQ(e.code, 11);
  EXPECT_EQ(e.position, 10);
  EXPECT_EQ(e.line, 0);
  EXPECT_EQ(e.column, 10);
  EXPECT_EQ(e.message, "对象间的成员需要以逗号“,”隔开。\r\n调用方法:大括号()");

  e = StrictError("{\"a\":1 \"b\":2}");
  EXPECT_EQ(e.code, 61);
  EXPECT_EQ(e.position, 13);
  EXPECT_EQ(e.message,
            "成员值类型无法确定，可能缺少引号或者大小写错误，(注意：逻辑型\\空null类型只接受小写)"
            "，错误值：1\"b\":2\r\n"
            "调用方法:对象值_获取其他()");
  EXPECT_EQ(StrictError(R"({"n":1e5})").code, 61);

  e = StrictError("\r\n x{}");
  EXPECT_EQ(e.code, 2);
  EXPECT_EQ(e.position, 4);
  EXPECT_EQ(e.line, 1);
  EXPECT_EQ(e.column, 2);
  EXPECT_EQ(e.message, "JSON代码起始文本应该以大括号“{”或者方括号“[”开头\r\n调用方法:加入json字节集()");

  e = StrictError("{}\n x");
  EXPECT_EQ(e.code, 1);
  EXPECT_EQ(e.position, 5);
  EXPECT_EQ(e.line, 1);
  EXPECT_EQ(e.column, 2);
  EXPECT_EQ(
      e.message,
      "JSON代码已经完毕，所有对象括号已匹配完毕，若要重新解析请先初始化。\r\n调用方法:加入json字节集()");
  int32_t code = 0;
  Parse("[1] ]", false, false, &code);
  EXPECT_EQ(code, 1);  // in lenient mode too

  e = StrictError(R"({"x":1,"a":})");
  EXPECT_EQ(e.code, 51);
  EXPECT_EQ(e.position, 12);
  EXPECT_EQ(
      e.message,
      "获取对象值时发现成员结束符“}”，不允许成员值全空(空类型请赋予“null”)\r\n调用方法:对象值_准备获取()");

  EXPECT_EQ(StrictError(R"({"a": })").code, 0);
  EXPECT_EQ(StrictError(R"({"a":1])").code, 62);
  EXPECT_EQ(StrictError(R"({"a":1])").message,
            "对象结束符无法匹配，不应该为：],而应该为：}\r\n调用方法:对象值_获取其他()");
  EXPECT_EQ(StrictError(R"({"a":"x"])").code, 12);
  EXPECT_EQ(StrictError(R"({"a":1,,})").code, 13);
  EXPECT_EQ(StrictError(R"({x})").code, 14);
  EXPECT_EQ(StrictError(R"({x})").message,
            "对象大括号内“{ }”后面仅仅可以出现空字符或者引号“\"”\r\n调用方法:大括号()");
  EXPECT_EQ(StrictError(R"({"a":1,})").code, 15);
  EXPECT_EQ(StrictError("{\"a\tb\":1}").code, 21);
  EXPECT_EQ(StrictError(R"({"a" 1})").code, 31);
  EXPECT_EQ(StrictError(R"(["a"})").code, 41);
  EXPECT_EQ(StrictError(R"([1 2])").code, 0);  // the space is dropped inside the value: "12"
  EXPECT_EQ(StrictError(R"(["a" 2])").code, 42);
  EXPECT_EQ(StrictError(R"([,])").code, 43);
  EXPECT_EQ(StrictError(R"([1,])").code, 44);
  EXPECT_EQ(StrictError("[\"a\nb\"]").code, 71);
  EXPECT_EQ(StrictError("[\"a\nb\"]").message,
            "文本中不允许包含回车、换行、制表符，应分别用\\r \\n \\t 代替\r\n调用方法:对象值_获取文本()");
}

TEST(JsonParserTest, AnErrorFreezesTheParseUntilInitialised) {
  类_JSON doc;
  EXPECT_EQ(doc.解析文本(R"({"a":[1,"b" 2]})", true), 42);
  EXPECT_EQ(Dump(doc), "1|4|0||{ 1 }\n2|5|4|a|[ 2 ]\n3|1|5|[0]|1\n3|2|5|[1]|b");  // closed by the auto-close
  EXPECT_EQ(doc.加入json文本("{}"), 42);
  doc.初始化();
  rt::Text message;
  int32_t position = -1, line = -1, column = -1;
  EXPECT_EQ(doc.取错误信息(&message, &position, &line, &column), 0);
  EXPECT_TRUE(message.empty());
  EXPECT_EQ(position, 0);
  EXPECT_EQ(line, 0);
  EXPECT_EQ(column, 0);
  EXPECT_EQ(doc.取节点数量(), 0);
  EXPECT_EQ(doc.加入json文本("[1]"), 0);
  EXPECT_EQ(Dump(doc), "1|5|0||[ 1 ]\n2|1|5|[0]|1");
}

TEST(JsonParserTest, OpenDocumentsAndTheAutoClose) {
  类_JSON doc;
  doc.解析文本(R"({"a":)");
  EXPECT_FALSE(doc.是否解析完毕());
  EXPECT_EQ(doc.StateCount(), 2);  // a value after a colon stays open
  doc.解析文本(R"({"a":"x\)");
  EXPECT_TRUE(doc.是否解析完毕());
  EXPECT_EQ(Dump(doc), "1|4|0||{ 1 }\n2|2|4|a|x\\\\");
  doc.解析文本(R"({"a":[1,{"b":tr)");
  EXPECT_TRUE(doc.是否解析完毕());
  EXPECT_EQ(CheckInvariants(doc), "");
  // Naming mode: a sequence of members, the bottom state left open.
  doc.解析文本(R"("a":{"b":1)", false, true);
  EXPECT_EQ(doc.StateCount(), 1);
  EXPECT_TRUE(doc.是否解析完毕());
  EXPECT_EQ(Dump(doc), "1|4|4|a|{ 1 }\n2|1|4|b|1");
  EXPECT_EQ(doc.加入json文本(R"(,"c":[true])"), 0);
  EXPECT_EQ(Dump(doc), "1|4|4|a|{ 1 }\n2|1|4|b|1\n1|5|4|c|[ 1 ]\n2|3|5|[0]|true");
  类_JSON fresh;
  EXPECT_FALSE(fresh.是否解析完毕());
  EXPECT_FALSE(fresh.补全结束符());
  EXPECT_EQ(fresh.取错误信息(), 0);
}

TEST(JsonParserTest, NumberRule) {
  for (const char* yes : {"1", "-", "007", "1.5e-3", "-2E+10", "0.25", "-.5"})
    EXPECT_TRUE(类_JSON::是否数值(yes)) << yes;
  for (const char* no : {"", "1e5", ".5", "1.", "1.2.3", "1e+", "1e+5.1", "1e+5e+5", "+1", "0x10", "1-"})
    EXPECT_FALSE(类_JSON::是否数值(no)) << no;
}

TEST(JsonParserTest, MendedPhantomMemberAndClosers) {
  // A missing value before "}" after a comma adds no second, nameless member.
  EXPECT_EQ(Parse(R"({"a":1,"b":})"), "1|4|0||{ 2 }\n2|1|4|a|1\n2|6|4|b|");
  // The trailing-comma repair in an array closes the array, not an object.
  类_JSON doc;
  EXPECT_EQ(doc.解析文本("[1,}"), 0);
  EXPECT_TRUE(doc.是否解析完毕());
  EXPECT_EQ(Dump(doc), "1|5|0||[ 2 ]\n2|1|5|[0]|1\n2|6|5|[1]|");
  EXPECT_EQ(doc.解析文本(R"({"a":[1,},"b":2})"), 0);
  EXPECT_EQ(Dump(doc), "1|4|0||{ 2 }\n2|5|4|a|[ 2 ]\n3|1|5|[0]|1\n3|6|5|[1]|\n2|1|4|b|2");
  // Strict: an object after a completed element without a comma.
  ErrorInfo e = StrictError("[{}{}]");
  EXPECT_EQ(e.code, 42);
  EXPECT_EQ(e.position, 4);
  EXPECT_EQ(e.message, "数组成员间缺少逗号分隔\r\n调用方法:方括号()");
}

TEST(JsonParserTest, MendedEscapeAfterLineBreakAndNamingFlag) {
  EXPECT_EQ(Parse("{\"a\":\"x\\\n,\"b\":\"\"}"), "1|4|0||{ 2 }\n2|2|4|a|x\\\n2|2|4|b|");
  // 初始化 clears the unquoted-name flag left by the previous document.
  类_JSON doc;
  doc.解析文本("{a:1}");
  doc.解析文本(R"("a,b":1)", false, true);
  EXPECT_EQ(Dump(doc), "1|1|4|a,b|1");
}

TEST(JsonParserTest, ExchangedNodeArrayMidParse) {
  for (bool strict : {true, false}) {
    类_JSON doc;
    EXPECT_EQ(doc.加入json文本(R"({"a":[1,)", strict), 0);
    NodeArray empty;
    doc.取全部节点_交换变量(&empty);
    EXPECT_EQ(empty.size(), 3);
    int32_t code = doc.加入json文本(R"(2]})");
    if (strict) {
      EXPECT_EQ(code, 82);
      rt::Text message;
      doc.取错误信息(&message);
      EXPECT_EQ(message.str(),
                "严重错误！因为“集_节点索引组[]"
                "”数组所记录的的结束符对应的节点超出了类中节点的最大值。\r\n可能原因：调用了“"
                "取全部节点_交换变量()”方法或其他交互变量的方法后没有再次调用该方法进行还原交换的变量所致。 "
                "\r\n调用方法:"
                "取当前节点索引()");
    } else {
      EXPECT_EQ(code, 0);  // the bytes are ignored
      EXPECT_EQ(doc.取节点数量(), 0);
    }
    doc.取全部节点_交换变量(&empty);  // exchanged back
    EXPECT_EQ(doc.取节点数量(), 3);
  }
}

TEST(JsonParserTest, LongArraysNameEveryElementInOrder) {
  // Past the runtime's shared names "[0]" to "[4095]" the names are texts of their own; both
  // kinds survive renumbering, copying and freeing.
  std::string text = "[";
  for (int i = 0; i < 5000; ++i) {
    if (i > 0) text += ',';
    text += std::to_string(i);
  }
  text += "]";
  类_JSON doc;
  ASSERT_EQ(doc.解析文本(text.c_str()), 0);
  ASSERT_EQ(doc.取节点数量(), 5001);
  for (int i = 0; i < 5000; ++i) {
    ASSERT_STREQ(doc.NodeAt(i + 2)->名称, ("[" + std::to_string(i) + "]").c_str());
  }
  类_JSON copy(doc);
  EXPECT_TRUE(doc.删除节点("", 2));  // element [0]: the rest move down one
  EXPECT_STREQ(doc.NodeAt(2)->名称, "[0]");
  EXPECT_STREQ(doc.NodeAt(4097)->名称, "[4095]");
  EXPECT_STREQ(doc.NodeAt(4098)->名称, "[4096]");
  EXPECT_STREQ(doc.NodeAt(4098)->值, "4097");
  EXPECT_STREQ(doc.NodeAt(5000)->名称, "[4998]");
  EXPECT_TRUE(doc.置节点名("", 5000, "[0]"));  // the last element moved to the front
  EXPECT_STREQ(doc.NodeAt(2)->值, "4999");
  EXPECT_STREQ(doc.NodeAt(5000)->名称, "[4998]");
  doc.初始化();
  EXPECT_STREQ(copy.NodeAt(4098)->名称, "[4096]");
  EXPECT_STREQ(copy.NodeAt(5001)->名称, "[4999]");
  NodeArray all;
  EXPECT_EQ(copy.取全部节点_交换变量(&all), 5001);
  EXPECT_STREQ(all.at(5001).名称, "[4999]");
  all.clear();  // frees shared and own names alike
}

// Texts, names and words are read straight from the fed bytes where they lie whole in one
// piece; whatever is unfinished when a call returns must have been copied, since the caller may
// reuse the bytes at once.
TEST(JsonParserTest, TheFedBytesAreNotKeptAfterTheCall) {
  类_JSON doc;
  doc.初始化();
  std::string piece = R"({"name":"ab)";
  doc.加入json文本(piece.c_str());
  piece.assign(piece.size(), '#');
  piece = R"(c","n":-1.)";
  doc.加入json文本(piece.c_str());
  piece.assign(piece.size(), '#');
  piece = R"(5,"w":tr)";
  doc.加入json文本(piece.c_str());
  piece.assign(piece.size(), '#');
  piece = "ue,\"t\":\"x\ty\",\"k\":\"p\\\"q\"}";  // a tab, kept as \t, and an escaped quote
  doc.加入json文本(piece.c_str());
  piece.assign(piece.size(), '#');
  EXPECT_TRUE(doc.是否解析完毕());
  EXPECT_EQ(Dump(doc),
            "1|4|0||{ 5 }\n2|2|4|name|abc\n2|1|4|n|-1.5\n2|3|4|w|true\n2|2|4|t|x\\ty\n2|2|4|k|p\\\"q");
}

TEST(JsonParserTest, EverySplitGivesTheSameNodes) {
  const char* documents[] = {
      R"({"a":[1,"x\"y",{"b":null}],"c":{"d":TRUE,"e":-1.5e+3},"f":"\\"})",
      "[1,,2,{\"a\":1,},[],{},\"t\\\\\",x y]",
      "  {\"k\":\"v\r\n\",\"n\":\t12 }",
      R"({"a":1 "b":2})",
      R"("a":{"b":1},"c":[1,2])",
  };
  for (const char* text : documents) {
    for (bool strict : {false, true}) {
      for (bool naming : {false, true}) {
        类_JSON whole;
        int32_t code = whole.解析文本(text, strict, naming);
        std::string expected = Dump(whole);
        size_t n = std::strlen(text);
        for (size_t cut = 0; cut <= n; ++cut) {
          类_JSON pieces;
          pieces.初始化();
          std::string t(text);
          pieces.加入json字节集(rt::ByteSet(t.substr(0, cut)), strict, naming);
          pieces.加入json字节集(rt::ByteSet(t.substr(cut)), std::nullopt, naming);
          pieces.补全结束符();
          ASSERT_EQ(Dump(pieces), expected) << text << " cut at " << cut;
          ASSERT_EQ(pieces.取错误信息(), code) << text << " cut at " << cut;
        }
        // Random splits into many pieces.
        std::mt19937 random(7);
        for (int round = 0; round < 20; ++round) {
          类_JSON pieces;
          pieces.初始化();
          std::string t(text);
          bool first = true;
          for (size_t at = 0; at < t.size();) {
            size_t len = 1 + random() % 4;
            pieces.加入json字节集(rt::ByteSet(t.substr(at, len)),
                                  first ? std::optional<bool>(strict) : std::nullopt, naming);
            first = false;
            at += len;
          }
          pieces.补全结束符();
          ASSERT_EQ(Dump(pieces), expected) << text;
        }
      }
    }
  }
}

}  // namespace
}  // namespace json
