#include "runtime/libraries.h"

#include <gtest/gtest.h>

#include <string>

namespace rt {
namespace {

// The table as the runtime alone fills it (nothing in this test program installs the window
// system), and a registration seen through a pointer to the table taken before it.
TEST(LibrariesTest, TheWindowSystemsSlotsAreNamedWithoutCommandsUntilItRegistersItsOwn) {
  const SupportLibrary* const* all = AllSupportLibraries();
  EXPECT_EQ(all[kLibraryKernel], &KernelLibrary());
  EXPECT_EQ(all[kLibrarySpecial], &SpecialFunctionsLibrary());
  EXPECT_EQ(all[kLibraryGeneralObjects], &GeneralObjectsLibrary());
  EXPECT_EQ(all[kLibraryAppInterface], &AppInterfaceLibrary());
  for (int32_t index : {kLibraryGrid, kLibraryExtended}) {
    ASSERT_NE(all[index], nullptr);
    EXPECT_EQ(all[index]->commandCount, 0);
    EXPECT_NE(all[index]->notify, nullptr);  // told of the start and end like the others
  }
  EXPECT_EQ(std::string(all[kLibraryGrid]->name), "grid");
  EXPECT_EQ(std::string(all[kLibraryExtended]->name), "extended controls");

  const SupportLibrary* before = all[kLibraryExtended];
  static const CommandFn table[] = {[](ArgRecord*, int32_t, ArgRecord*) {}};
  static const SupportLibrary own = {"own", table, 1, StandardLibraryNotify};
  RegisterSupportLibrary(kLibraryExtended, own);
  EXPECT_EQ(all[kLibraryExtended], &own);
  EXPECT_EQ(AllSupportLibraries(), all);
  EXPECT_EQ(all[kLibraryGrid]->commandCount, 0);  // the other slot as it was
  RegisterSupportLibrary(kLibraryExtended, *before);
}

}  // namespace
}  // namespace rt
