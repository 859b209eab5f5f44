#include "runtime/values.h"

#include <gtest/gtest.h>

#include "tests/support/expect_runtime_error.h"

namespace rt {
namespace {

TEST(ArgRecordTest, LayoutAndNarrowValues) {
  ArgRecord records[2];
  records[1].setI32(-5);
  EXPECT_EQ(records[1].i32(), -5);
  EXPECT_EQ(records[1].i32Hi(), 0);  // narrow values leave bytes 4 to 7 zero
  EXPECT_EQ(records[1].type(), kTypeInt);
  records[1].setF64(2.5);
  EXPECT_EQ(records[1].f64(), 2.5);
  records[0].setPair(0x52010001, 0x16010002, kTypeGrid);
  EXPECT_EQ(records[0].i32(), 0x52010001);
  EXPECT_EQ(records[0].i32Hi(), 0x16010002);
  EXPECT_FALSE(ArgRecord::Omitted().given());
  const char* text = "x";
  records[1].setPtr(text, kTypeText);
  EXPECT_EQ(records[1].text(), text);  // a pointer fills the whole 8-byte value
}

TEST(MemoryTest, ConstantsAreNeverFreedAndReallocCopiesThem) {
  MemFree(nullptr);
  MemFree(const_cast<char*>(kEmptyText));
  MemFree(const_cast<unsigned char*>(kEmptyBytes));
  EXPECT_EQ(kEmptyText[0], '\0');
  EXPECT_EQ(ByteSetLength(kEmptyBytes), 0);

  static const char constants[] = "constant text";
  SetProgramConstants(constants, sizeof constants);
  auto* copy = static_cast<char*>(MemRealloc(const_cast<char*>(constants), 64));
  EXPECT_NE(copy, constants);
  EXPECT_STREQ(copy, "constant text");
  EXPECT_STREQ(constants, "constant text");
  MemFree(const_cast<char*>(constants + 3));  // inside the block: ignored
  MemFree(copy);
  // A copy never reads past the end of the constant block.
  auto* tail = static_cast<char*>(MemRealloc(const_cast<char*>(constants + 9), 1000));
  EXPECT_STREQ(tail, "text");
  MemFree(tail);
  SetProgramConstants(nullptr, 0);
}

TEST(MemoryTest, IndexNamesAreSharedConstants) {
  EXPECT_STREQ(IndexNameConstant(0), "[0]");
  EXPECT_STREQ(IndexNameConstant(9), "[9]");
  EXPECT_STREQ(IndexNameConstant(10), "[10]");
  EXPECT_STREQ(IndexNameConstant(1234), "[1234]");
  EXPECT_STREQ(IndexNameConstant(kIndexNameConstants - 1), "[4095]");
  EXPECT_EQ(IndexNameConstant(kIndexNameConstants), nullptr);
  EXPECT_EQ(IndexNameConstant(-1), nullptr);
  char* name = const_cast<char*>(IndexNameConstant(7));
  EXPECT_TRUE(IsConstant(name));
  MemFree(name);  // ignored
  EXPECT_STREQ(IndexNameConstant(7), "[7]");
  // Growing one copies just its own 8 bytes' worth, never the neighbours.
  auto* grown = static_cast<char*>(MemRealloc(name, 6));
  EXPECT_NE(grown, name);
  EXPECT_STREQ(grown, "[7]");
  MemFree(grown);
}

TEST(MemoryTest, EmptyResultsAreNullAndConcatAlwaysAllocates) {
  EXPECT_EQ(NewText("", 0), nullptr);
  EXPECT_EQ(NewByteSet("", 0), nullptr);
  const char* parts[] = {nullptr, ""};
  char* both = ConcatTexts(2, parts);
  ASSERT_NE(both, nullptr);
  EXPECT_EQ(both[0], '\0');
  MemFree(both);
  const char* words[] = {"ab", nullptr, "cd"};
  Text joined = Text::Adopt(ConcatTexts(3, words));
  EXPECT_EQ(joined, "abcd");
}

TEST(MemoryTest, ImpossibleSizesReportHeapExhaustion) {
  EXPECT_RUNTIME_ERROR(MemAlloc(uint64_t{1} << 40),
                       "运行时出错!\r\n\r\n错误信息：分配 1099511627776 字节内存失败!\r\n\r\n0, 0\r\n");
  EXPECT_RUNTIME_ERROR(
      {
        SetAllocationLimitForTesting(100);
        MemAlloc(101);
      },
      "运行时出错!\r\n\r\n错误信息：分配 101 字节内存失败!\r\n\r\n0, 0\r\n");
  SetAllocationLimitForTesting(100);
  EXPECT_EQ(MemTryAlloc(101), nullptr);  // the quiet variant yields null
  SetAllocationLimitForTesting(0);
}

TEST(ValuesTest, ElementCountAndTruncation) {
  EXPECT_EQ(ElementCount(nullptr), 0);
  const int32_t noDims[] = {0};
  EXPECT_EQ(ElementCount(noDims), 0);
  const int32_t twoByThree[] = {2, 2, 3};
  EXPECT_EQ(ElementCount(twoByThree), 6);
  EXPECT_EQ(TruncToInteger(-2.9), -2);
  EXPECT_EQ(TruncToInteger(2.9), 2);
  EXPECT_EQ(TruncToInteger(1e300), INT64_MIN);
  EXPECT_EQ(TruncToInteger(-1e300), INT64_MIN);
  EXPECT_EQ(TruncToInteger(std::numeric_limits<double>::quiet_NaN()), INT64_MIN);
  EXPECT_EQ(static_cast<int32_t>(TruncToInteger(1e100)), 0);  // an integer takes 0
}

TEST(ArrayTest, IndexChecksReportFourBeforeOne) {
  TextArray a;
  a.push_back("x");
  a.push_back("y");
  EXPECT_STREQ(a.at(2), "y");
  const std::string tail = "\r\n\r\n67174404, 649\r\n";
  EXPECT_RUNTIME_ERROR(
      ElementAt(a.block(), 0, sizeof(char*), 67174404, 649),
      "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1" + tail);
  EXPECT_RUNTIME_ERROR(ElementAt(a.block(), 3, sizeof(char*), 67174404, 649),
                       "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围" + tail);
  EXPECT_RUNTIME_ERROR(
      ElementAt(a.block(), INT32_MIN, sizeof(char*)),
      std::string(
          "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n\r\n0, 0\r\n"));
}

TEST(ArrayTest, RedefineKeepsOrReleasesContents) {
  TextArray a;
  a.push_back("one");
  a.push_back("two");
  a.push_back("three");
  RedefineArray(a.slot(), 2, sizeof(char*), true, true);  // "three" is released (ASan checks)
  ASSERT_EQ(a.size(), 2);
  EXPECT_STREQ(a.at(1), "one");
  RedefineArray(a.slot(), 4, sizeof(char*), true, true);
  EXPECT_STREQ(a.at(2), "two");
  EXPECT_STREQ(a.at(4), "");  // added members are empty
  RedefineArray(a.slot(), 1, sizeof(char*), true, false);
  EXPECT_STREQ(a.at(1), "");
  EXPECT_RUNTIME_ERROR(RedefineArray(a.slot(), -1, sizeof(char*), true, false),
                       "运行时出错!\r\n\r\n错误代码：10\r\n\r\n错误信息："
                       "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零\r\n\r\n0, 0\r\n");
}

TEST(ValuesTest, ResultTypeCheck) {
  CheckResultType(kTypeText, kTypeText);
  EXPECT_RUNTIME_ERROR(
      CheckResultType(kTypeInt, kTypeText, 7, 8),
      "运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n\r\n7, 8\r\n");
}

}  // namespace
}  // namespace rt
