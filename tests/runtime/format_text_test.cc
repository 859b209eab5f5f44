#include "runtime/format_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/libraries.h"
#include "tests/support/german_locale.h"

namespace rt {
namespace {

using testing_support::GermanLocale;

TEST(FormatTextTest, FillsDirectivesInOrder) {
  EXPECT_EQ(FormatTextOf("%s=%d", {TextArg("ab"), IntArg(3)}), "ab=3");
  EXPECT_EQ(FormatTextOf("“%s”%s", {TextArg("x"), TextArg("\r\n")}), "“x”\r\n");
  EXPECT_EQ(FormatTextOf("%5.1f|%-4d|%x|%c|%%", {DoubleArg(2.25), ByteArg(7), IntArg(255), IntArg('z')}),
            "  2.2|7   |ff|z|%");
  EXPECT_EQ(FormatTextOf("%e %g", {DoubleArg(1e20), FloatArg(1e-5f)}), "1.000000e+020 1e-005");
  EXPECT_EQ(FormatTextOf("%ld/%hd", {IntArg(-4), IntArg(5)}), "-4/5");
}

TEST(FormatTextTest, ShortLengthModifiersNarrowTheValueAsTheCLibraryDoes) {
  EXPECT_EQ(FormatTextOf("%hhd|%hd|%hhu|%hx|%hho",
                         {IntArg(300), IntArg(70000), IntArg(-1), IntArg(-1), IntArg(511)}),
            "44|4464|255|ffff|377");
  EXPECT_EQ(FormatTextOf("%hhi|%hu|%lx", {IntArg(200), IntArg(-2), IntArg(-1)}), "-56|65534|ffffffff");
  // A character or a text stays narrow with h, as the platform reads it.
  EXPECT_EQ(FormatTextOf("%hc%hs", {IntArg('a'), TextArg("b")}), "ab");
  EXPECT_TRUE(FormatTextOf("%hhhd", {IntArg(1)}).empty());
  EXPECT_TRUE(FormatTextOf("%hld", {IntArg(1)}).empty());
}

TEST(FormatTextTest, MismatchesAndUnsafeDirectivesGiveEmpty) {
  EXPECT_TRUE(FormatTextOf("%s=%d", {TextArg("ab"), LongArg(3)}).empty());  // long integer
  EXPECT_TRUE(FormatTextOf("%s", {IntArg(3)}).empty());                     // s needs a text
  EXPECT_TRUE(FormatTextOf("%d", {TextArg("3")}).empty());                  // d needs an integer
  EXPECT_TRUE(FormatTextOf("%f", {IntArg(3)}).empty());
  EXPECT_TRUE(FormatTextOf("%d %d", {IntArg(3)}).empty());  // a missing value
  EXPECT_TRUE(FormatTextOf("%n", {IntArg(3)}).empty());
  EXPECT_TRUE(FormatTextOf("%*d", {IntArg(3), IntArg(4)}).empty());
  EXPECT_TRUE(FormatTextOf("%lld", {IntArg(3)}).empty());
  EXPECT_TRUE(FormatTextOf("%p", {IntArg(3)}).empty());
  ArgRecord date;
  date.setF64(1.0, kTypeDateTime);
  EXPECT_TRUE(FormatTextOf("x", {date}).empty());
  EXPECT_TRUE(FormatTextOf("x", {BytesArg(nullptr)}).empty());
  EXPECT_EQ(FormatTextOf("", {}).get(), nullptr);
}

TEST(FormatTextTest, WideFieldsNeverOverrun) {
  // Far beyond the size estimate (256 + 20 + format length); every directive is sized alone.
  Text t = FormatTextOf("%5000s|%3000.2f|%.400d", {TextArg("a"), DoubleArg(1.5), IntArg(1)});
  ASSERT_EQ(t.size(), 5000u + 1 + 3000 + 1 + 400);
  EXPECT_EQ(t.view().substr(4999, 2), "a|");
  EXPECT_EQ(t.view().substr(5001 + 2996, 5), "1.50|");
}

TEST(FormatTextTest, CLocaleWhateverTheProcessLocale) {
  Text t;
  {
    GermanLocale german;
    if (!german.active()) GTEST_SKIP() << "no German locale available";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    EXPECT_STREQ(probe, "2,5");  // the C library itself writes a comma now
    t = FormatTextOf("%.1f|%g", {DoubleArg(2.5), FloatArg(0.25f)});
  }
  EXPECT_EQ(t, "2.5|0.25");
}

TEST(FormatTextTest, RegisteredInTheApplicationInterfaceLibrary) {
  const SupportLibrary& lib = AppInterfaceLibrary();
  ASSERT_EQ(lib.commandCount, 1);
  EXPECT_EQ(lib.commands[kFormatTextCommand], &FormatText);
}

}  // namespace
}  // namespace rt
