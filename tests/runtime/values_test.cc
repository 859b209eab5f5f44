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
}

// Two routines of the program, each with a check of its own on the line after `here`.
const char* ReadName(const TextArray& a, int64_t index, CheckSite* here) {
  *here = CheckSite::Here();
  return a.at(index);
}
void Redefine(TextArray& a, int64_t count, CheckSite* here) {
  *here = CheckSite::Here();
  RedefineArray(a.slot(), count, sizeof(char*), true, false);
}

CheckPlace CheckAfter(CheckSite here) {
  ++here.line;
  return PlaceOf(here);
}
std::string Tail(CheckPlace p) {
  return "\r\n\r\n" + std::to_string(p.routine) + ", " + std::to_string(p.place) + "\r\n";
}

TEST(ArrayTest, EveryCheckReportsItsOwnRoutineAndPlace) {
  TextArray a;
  a.push_back("x");
  CheckSite readAt{}, redefineAt{};
  EXPECT_STREQ(ReadName(a, 1, &readAt), "x");
  Redefine(a, 1, &redefineAt);
  const CheckPlace read = CheckAfter(readAt), redefine = CheckAfter(redefineAt);
  EXPECT_NE(read.routine, redefine.routine);  // one word per routine
  EXPECT_NE(read.routine, 0);
  // A routine word is never taken for a window: bits 24 to 27 are not 2.
  EXPECT_NE((static_cast<uint32_t>(read.routine) >> 24) & 0x0F, 2u);
  EXPECT_RUNTIME_ERROR(
      ReadName(a, 3, &readAt),
      "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围" + Tail(read));
  EXPECT_RUNTIME_ERROR(
      ReadName(a, 0, &readAt),
      "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1" + Tail(read));
  EXPECT_RUNTIME_ERROR(Redefine(a, -1, &redefineAt),
                       "运行时出错!\r\n\r\n错误代码：10\r\n\r\n错误信息："
                       "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零" +
                           Tail(redefine));
  // Runtime code that names its own words keeps them.
  EXPECT_RUNTIME_ERROR(
      ElementAt(a.block(), INT32_MIN, sizeof(char*), 0, 0),
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
}

// A record of the program: an owned text and a number.
struct Entry {
  char* name;
  int32_t number;
};
int g_releasedNames = 0;
void ReleaseEntryFields(void* record) {
  auto* e = static_cast<Entry*>(record);
  if (e->name) ++g_releasedNames;
  MemFree(e->name);
}
Entry* EntryAt(void* block, int64_t i) {
  Entry* e;
  std::memcpy(&e, ElementAt(block, i, sizeof(Entry*)), sizeof e);
  return e;
}
bool IsZeroFilled(const Entry* e) { return e != nullptr && e->name == nullptr && e->number == 0; }

TEST(ArrayTest, RedefiningRecordsMakesFreshRecordsAndReleasesTheRemovedOnes) {
  void* a = NewArrayBlock(0, sizeof(Entry*));
  RedefineRecordArray(&a, 3, sizeof(Entry), ReleaseEntryFields, false);
  ASSERT_EQ(ElementCount(a), 3);
  for (int64_t i = 1; i <= 3; ++i) {
    ASSERT_TRUE(IsZeroFilled(EntryAt(a, i))) << i;
    EntryAt(a, i)->name = NewText("n" + std::to_string(i));
    EntryAt(a, i)->number = static_cast<int32_t>(i);
  }
  EXPECT_NE(EntryAt(a, 1), EntryAt(a, 2));  // one record per element

  Entry* first = EntryAt(a, 1);
  g_releasedNames = 0;
  RedefineRecordArray(&a, 5, sizeof(Entry), ReleaseEntryFields, true);  // kept, two added
  EXPECT_EQ(EntryAt(a, 1), first);
  EXPECT_STREQ(EntryAt(a, 3)->name, "n3");
  EXPECT_TRUE(IsZeroFilled(EntryAt(a, 4)));
  EXPECT_TRUE(IsZeroFilled(EntryAt(a, 5)));
  EXPECT_EQ(g_releasedNames, 0);

  RedefineRecordArray(&a, 2, sizeof(Entry), ReleaseEntryFields, true);  // 3 to 5 released
  EXPECT_EQ(g_releasedNames, 1);                                        // only record 3 had a name
  EXPECT_EQ(EntryAt(a, 2)->number, 2);

  RedefineRecordArray(&a, 1, sizeof(Entry), ReleaseEntryFields, false);  // all old ones released
  EXPECT_EQ(g_releasedNames, 3);
  EXPECT_TRUE(IsZeroFilled(EntryAt(a, 1)));
  EXPECT_RUNTIME_ERROR_CONTAINING(RedefineRecordArray(&a, -1, sizeof(Entry), ReleaseEntryFields, false),
                                  "错误代码：10");
  FreeRecordArray(a, ReleaseEntryFields);
}

TEST(ValuesTest, ResultTypeCheck) {
  CheckResultType(kTypeText, kTypeText);
  EXPECT_RUNTIME_ERROR(
      CheckResultType(kTypeInt, kTypeText, 7, 8),
      "运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n\r\n7, 8\r\n");
}

}  // namespace
}  // namespace rt
