// The line formatter.
#include <gtest/gtest.h>

#include <string>

#include "text/Format.h"

TEST(FormatLine, PrintfConventions) {
  struct Case {
    std::string got;
    const char* want;
  } cases[] = {
      {FormatLine("%8.8x", 11u), "0000000B"},
      {FormatLine("%x", 0xABCu), "ABC"},
      {FormatLine("%x", -1), "FFFFFFFF"},
      {FormatLine("%8.8x", 0x123456789ULL), "123456789"},  // never cut
      {FormatLine("%8.8d", 65535u), "00065535"},
      {FormatLine("%8.8d", -5), "-00000005"},
      {FormatLine("%2d", 12345), "12345"},
      {FormatLine("%2d", 1), " 1"},
      {FormatLine("%u", 3000000000u), "3000000000"},
      {FormatLine("%.2f", 2500.0), "2500.00"},  // the test locale writes a point
      {FormatLine("[%8.2f]", -1.25), "[   -1.25]"},
      {FormatLine("%.2f|%s", 100000000.0 / 1000 / 1000, "x"), "100.00|x"},
      {FormatLine("%d", 3000000000u), "3000000000"},
      {FormatLine("%15s|", "1.2.3.4"), "        1.2.3.4|"},
      {FormatLine("%-6s|", "PPP"), "PPP   |"},
      {FormatLine("%-6s|", "IEEE80211"), "IEEE80211|"},
      {FormatLine("%05d", 42), "00042"},
      {FormatLine("%-5d|", 42), "42   |"},
      {FormatLine("100%% %s", std::string("done")), "100% done"},
      {FormatLine("IP [%d]: %15s", 1, "x"), "IP [1]:               x"},
      {FormatLine("%s and %d", "one"), "one and "},  // a missing argument prints nothing
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

namespace {

// The separator the test's source answers with; answering false when unset.
const char* separatorAnswer = nullptr;
bool TestSeparator(std::string& separator) {
  if (!separatorAnswer) return false;
  separator = separatorAnswer;
  return true;
}

// Puts the test's source in place of the program's, and the program's back.
class ScopedTestSeparator {
 public:
  explicit ScopedTestSeparator(TDecimalSeparatorSource source) : saved_(DecimalSeparatorSource()) {
    SetDecimalSeparatorSource(source);
  }
  ~ScopedTestSeparator() {
    SetDecimalSeparatorSource(saved_);
    separatorAnswer = nullptr;
  }

 private:
  TDecimalSeparatorSource saved_;
};

}  // namespace

TEST(FormatLine, DecimalSeparatorComesFromTheSourceAtEveryLine) {
  ScopedTestSeparator scope(&TestSeparator);
  separatorAnswer = ",";
  EXPECT_EQ(FormatLine("%.2f|%d|%s", 2500.0, 2500, "1.5"), "2500,00|2500|1.5");  // only "%f" is the locale's
  EXPECT_EQ(FormatLine("[%8.2f]", -1.25), "[   -1,25]");
  separatorAnswer = "::";  // the user changed the setting meanwhile
  EXPECT_EQ(FormatLine("%.1f", 0.5), "0::5");
  separatorAnswer = nullptr;  // the system had no answer
  EXPECT_EQ(FormatLine("%.1f", 0.5), "0.5");
  SetDecimalSeparatorSource(nullptr);  // no platform side at all
  EXPECT_EQ(FormatLine("%.1f", 0.5), "0.5");
}
