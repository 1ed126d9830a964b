#include <gtest/gtest.h>

#include "text/Lines.h"

TEST(SplitLineBreaks, SplitsEveryKindOfBreak) {
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {""}},
      {"a", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\nb\rc", {"a", "b", "c"}},
      {"a\r\n", {"a", ""}},
      {"\r\n\r\n", {"", "", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitLineBreaks(c.text), c.lines) << c.text;
}

TEST(StringList, KeepsEntriesWhole) {
  StringList list;
  list.Add("one\r\ntwo");
  list.Add("");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], "one\r\ntwo");
  EXPECT_EQ(list.Text(), "one\r\ntwo\r\n\r\n");
  EXPECT_THROW(list.Get(2), std::out_of_range);
  StringList copy;
  copy.AddLines(list);
  EXPECT_EQ(copy.Items(), list.Items());
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}
