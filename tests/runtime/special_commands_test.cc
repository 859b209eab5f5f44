// The special-functions library: variable and data addresses, raw heap blocks.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/kernel.h"

namespace {

TEST(AddressTest, AddressesArePointerWideLongIntegers) {
  rt::Text t("abc");
  rt::ArgRecord r = rt::CallLibrary(rt::kLibrarySpecial, rt::commands::VariableAddress,
                                    {rt::VariableArg(t.slot(), rt::kTypeText)});
  EXPECT_EQ(r.type(), rt::kTypeLong);
  EXPECT_EQ(static_cast<intptr_t>(r.i64()), reinterpret_cast<intptr_t>(t.slot()));
  EXPECT_EQ(kernel::VariableAddress(t), reinterpret_cast<intptr_t>(t.slot()));
}

TEST(AddressTest, DataAddressOfEachKind) {
  rt::Text t("abc");
  EXPECT_EQ(kernel::DataAddress(t), reinterpret_cast<intptr_t>(t.get()));
  rt::Text empty;
  EXPECT_EQ(kernel::DataAddress(empty), 0);
  char* zeroOnly = static_cast<char*>(rt::MemAlloc(1));
  zeroOnly[0] = '\0';
  rt::Text emptyBlock = rt::Text::Adopt(zeroOnly);
  EXPECT_EQ(kernel::DataAddress(emptyBlock), 0);

  rt::ByteSet b("xy");
  EXPECT_EQ(kernel::DataAddress(b), reinterpret_cast<intptr_t>(b.data()));
  rt::ByteSet none;
  EXPECT_EQ(kernel::DataAddress(none), 0);
  rt::ByteSet zeroLength = rt::ByteSet::Adopt(rt::MemAlloc(8));
  const int32_t header[2] = {1, 0};
  std::memcpy(*zeroLength.slot(), header, 8);
  EXPECT_EQ(kernel::DataAddress(zeroLength), 0);

  rt::TextArray a;
  EXPECT_EQ(kernel::DataAddress(a), 0);
  a.push_back("m");
  EXPECT_EQ(kernel::DataAddress(a), reinterpret_cast<intptr_t>(rt::ArrayElements(a.block())));

  int32_t i = 5;
  EXPECT_EQ(kernel::DataAddress(&i, rt::kTypeInt), reinterpret_cast<intptr_t>(&i));
  void* object = nullptr;
  EXPECT_EQ(kernel::DataAddress(&object, rt::kTypeRapidString), reinterpret_cast<intptr_t>(&object));
}

TEST(HeapBlockTest, AllocWriteReadFree) {
  intptr_t block = kernel::AllocMemory(16, true);
  ASSERT_NE(block, 0);
  EXPECT_EQ(kernel::ReadInteger(block + 12), 0);
  kernel::WriteMemory(1234, block + 12);
  EXPECT_EQ(kernel::ReadInteger(block + 12), 1234);
  kernel::FreeMemory(block);
  kernel::FreeMemory(0);
  EXPECT_EQ(kernel::AllocMemory(0), 0);
  EXPECT_EQ(kernel::AllocMemory(-4), 0);
  // An exhausted heap gives 0, without a runtime error.
  rt::SetAllocationLimitForTesting(1024);
  EXPECT_EQ(kernel::AllocMemory(4096), 0);
  rt::SetAllocationLimitForTesting(0);
}

}  // namespace
