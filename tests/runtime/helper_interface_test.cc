#include "runtime/helper_interface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "runtime/format_text.h"
#include "runtime/kernel_commands.h"
#include "runtime/libraries.h"

namespace rt {
namespace {

// Builds an initializer list of n records at run time: the wrappers take only lists.
template <size_t... I>
ArgRecord CallBitAnd(const std::vector<ArgRecord>& v, std::index_sequence<I...>) {
  return CallKernel(commands::BitAnd, {v[I]...});
}

TEST(HelperInterfaceTest, CommandsReceiveEveryArgumentBeyondThirtyTwo) {
  // 40 integers whose AND is 0 only because of the last one.
  std::vector<ArgRecord> all(40, IntArg(-1));
  all.back() = IntArg(0);
  EXPECT_EQ(CallBitAnd(all, std::make_index_sequence<40>()).i32(), 0);
  all.back() = IntArg(0x0F);
  EXPECT_EQ(CallBitAnd(all, std::make_index_sequence<40>()).i32(), 0x0F);

  // A library command with a record before the list: the format and 34 values.
  std::string format, expected;
  for (int i = 0; i < 34; ++i) {
    format += "%d,";
    expected += std::to_string(i) + ",";
  }
  Text t = FormatTextOf(format.c_str(),
                        {IntArg(0),  IntArg(1),  IntArg(2),  IntArg(3),  IntArg(4),  IntArg(5),  IntArg(6),
                         IntArg(7),  IntArg(8),  IntArg(9),  IntArg(10), IntArg(11), IntArg(12), IntArg(13),
                         IntArg(14), IntArg(15), IntArg(16), IntArg(17), IntArg(18), IntArg(19), IntArg(20),
                         IntArg(21), IntArg(22), IntArg(23), IntArg(24), IntArg(25), IntArg(26), IntArg(27),
                         IntArg(28), IntArg(29), IntArg(30), IntArg(31), IntArg(32), IntArg(33)});
  EXPECT_EQ(t, expected);
}

TEST(HelperInterfaceTest, ServiceTwoCopiesAnArrayThatStillLiesInTheConstants) {
  alignas(8) static const int32_t constants[] = {1, 3, 10, 20, 30, 0};
  SetProgramConstants(constants, sizeof constants);
  void* variable = const_cast<int32_t*>(constants);
  Helpers().RuntimeService(kServiceMakeArrayWritable, reinterpret_cast<intptr_t>(&variable), sizeof(int32_t));
  ASSERT_NE(variable, constants);
  EXPECT_FALSE(IsConstant(variable));
  ASSERT_EQ(ElementCount(variable), 3);
  int32_t copied[5];
  std::memcpy(copied, variable, sizeof copied);
  EXPECT_EQ(std::vector<int32_t>(copied, copied + 5), std::vector<int32_t>(constants, constants + 5));
  // A heap array is already writable: it stays as it is.
  void* heap = variable;
  Helpers().RuntimeService(kServiceMakeArrayWritable, reinterpret_cast<intptr_t>(&variable), sizeof(int32_t));
  EXPECT_EQ(variable, heap);
  MemFree(variable);
  SetProgramConstants(nullptr, 0);
}

}  // namespace
}  // namespace rt
