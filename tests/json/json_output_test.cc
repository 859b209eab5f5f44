#include <gtest/gtest.h>

#include <random>
#include <string>

#include "json/json_document.h"
#include "tests/json/json_test_util.h"

namespace json {
namespace {

using testing_util::Dump;

std::string Write(const char* json, const char* path = "", bool formatted = false, int32_t* count = nullptr) {
  类_JSON doc;
  doc.解析文本(json);
  rt::Text out;
  int32_t n = doc.取JSON文本(path, std::nullopt, &out, formatted);
  if (count) *count = n;
  return out.str();
}

TEST(JsonOutputTest, CompactAndFormattedExamples) {
  int32_t count = 0;
  EXPECT_EQ(Write(R"({"a":1,"b":[true]})", "", false, &count), R"({"a":1,"b":[true]})");
  EXPECT_EQ(count, 4);
  EXPECT_EQ(Write(R"({"a":1,"b":[true]})", "", true),
            "{\r\n\t\"a\":\t1,\r\n\t\"b\":\t\r\n\t[\r\n\t\ttrue\r\n\t]\r\n}");
  EXPECT_EQ(Write(R"({"a":{"x":1},"b":2})"), R"({"a":{"x":1},"b":2})");
  EXPECT_EQ(Write(R"({"a":{"x":1},"b":2})", "", true),
            "{\r\n\t\"a\":\t\r\n\t{\r\n\t\t\"x\":\t1\r\n\t},\r\n\t\"b\":\t2\r\n}");
  EXPECT_EQ(Write(R"([[1,[]],{}])"), "[[1,[]],{}]");
  // An empty container opens with a line break and closes after one: a blank line between.
  EXPECT_EQ(Write(R"([[1,[]],{}])", "", true),
            "[\r\n\t[\r\n\t\t1,\r\n\t\t[\r\n\r\n\t\t]\r\n\t],\r\n\t{\r\n\r\n\t}\r\n]");
}

TEST(JsonOutputTest, SingleNodesMembersAndValues) {
  int32_t count = 0;
  EXPECT_EQ(Write(R"({"s":"x\"y"})", "s", false, &count), "\"s\":\"x\\\"y\"\r\n");
  EXPECT_EQ(count, 1);
  EXPECT_EQ(Write("{}"), "{}\r\n");
  EXPECT_EQ(Write(R"({"a":{"b":[1]},"c":2})", "a"), R"("a":{"b":[1]})");
  EXPECT_EQ(Write("[5,6]", "[1]"), "6\r\n");
  // A missing value and null are both written as null; logical values lower-cased; an
  // undetermined bare value is quoted; texts are written as stored.
  EXPECT_EQ(Write(R"({"a":,"b":null,"c":TRUE,"d":1e5,"e":"\u0041\/"})"),
            R"({"a":null,"b":null,"c":true,"d":"1e5","e":"\u0041\/"})");
  类_JSON doc;
  doc.解析文本("[1]");
  rt::Text out("kept");
  int32_t index = -1;
  EXPECT_EQ(doc.取JSON文本("nothing", std::nullopt, &out, false, &index), 0);
  EXPECT_EQ(out, "kept");  // unchanged when nothing is found
  EXPECT_EQ(index, 0);
}

// A random document that a strict parse accepts.
class DocumentGenerator {
 public:
  explicit DocumentGenerator(uint32_t seed) : random_(seed) {}

  std::string Document() {
    std::string out;
    Container(&out, 0, random_() % 2 == 0);
    return out;
  }

 private:
  uint32_t Pick(uint32_t n) { return random_() % n; }
  void Blank(std::string* out) {
    static const char* kBlanks[] = {"", "", "", " ", "\r\n", "\t", "\n  "};
    *out += kBlanks[Pick(7)];
  }
  void Text(std::string* out) {
    static const char* kPieces[] = {"a",       "Zz",  "测试", "\\\"", "\\\\", "\\/", "\\u0041",
                                    "\\u6D4B", "\\n", " ",    "x.y",  "[1]",  "\x01"};
    *out += '"';
    for (uint32_t i = Pick(5); i > 0; --i) *out += kPieces[Pick(13)];
    *out += '"';
  }
  void Name(std::string* out) {
    static const char* kNames[] = {"a", "b", "cover_url", "名称", "play url", "x-y", ""};
    *out += '"';
    *out += kNames[Pick(7)];
    *out += '"';
  }
  void Value(std::string* out, int depth) {
    static const char* kWords[] = {"true", "false", "null", "0", "-12.5e+3", "007", "3.25", "-", "1E-9"};
    uint32_t k = Pick(depth >= 4 ? 3 : 5);
    if (k == 0) {
      Text(out);
    } else if (k == 1 || k == 2) {
      *out += kWords[Pick(9)];
    } else {
      Container(out, depth + 1, k == 3);
    }
  }
  void Container(std::string* out, int depth, bool object) {
    *out += object ? '{' : '[';
    uint32_t n = Pick(5);
    for (uint32_t i = 0; i < n; ++i) {
      Blank(out);
      if (i > 0) {
        *out += ',';
        Blank(out);
      }
      if (object) {
        Name(out);
        Blank(out);
        *out += ':';
        Blank(out);
      }
      Value(out, depth);
      Blank(out);
    }
    *out += object ? '}' : ']';
  }

  std::mt19937 random_;
};

TEST(JsonOutputTest, WrittenTextParsesToTheSameNodes) {
  DocumentGenerator generator(20240611);
  for (int round = 0; round < 400; ++round) {
    std::string text = generator.Document();
    类_JSON doc;
    ASSERT_EQ(doc.解析文本(text.c_str(), true), 0) << text;
    std::string nodes = Dump(doc);
    for (bool formatted : {false, true}) {
      rt::Text written;
      ASSERT_EQ(doc.取JSON文本("", std::nullopt, &written, formatted), doc.取节点数量());
      类_JSON again;
      ASSERT_EQ(again.解析文本(written.c_str(), true), 0) << written.str();
      ASSERT_EQ(Dump(again), nodes) << text << "\n" << written.str();
    }
  }
}

}  // namespace
}  // namespace json
