#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/TestForm.h"

TEST(Memo, ShowsLineBreaksAsLinesAndBatchesUpdates) {
  TestForm form;
  auto* memo = form.Make<Memo>(&form, "memo", Memo::Options{});
  Lines& lines = memo->GetLines();
  lines.Add("first");
  lines.Add("two\r\nthree");
  EXPECT_EQ(lines.Count(), 3);
  EXPECT_EQ(lines[2], "three");
  EXPECT_EQ(memo->Text(), "first\r\ntwo\r\nthree");
  lines.Clear();
  EXPECT_EQ(lines.Count(), 0);
  EXPECT_EQ(memo->Text(), "");
  lines.Add("");
  EXPECT_EQ(lines.Count(), 1) << "an empty line is a line";

  // A thousand lines inside one update reach the control once, at the end.
  int changes = 0;
  memo->GetLines().Clear();
  {
    LinesUpdate update(lines);
    for (int i = 0; i < 1000; ++i) lines.Add("line " + std::to_string(i));
    changes = static_cast<int>(memo->Text().size());
  }
  EXPECT_EQ(changes, 0) << "nothing shown before the update ends";
  EXPECT_EQ(lines.Count(), 1000);
  EXPECT_EQ(SplitLineBreaks(memo->Text()).size(), 1000u);

  // Typing into the control is seen by the lines.
  SendMessageA(memo->Handle(), EM_SETSEL, 0, -1);
  SendMessageA(memo->Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("typed\r\nby hand"));
  EXPECT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines[1], "by hand");
}

TEST(Memo, ReplacesOnlyWhatChangedInPiecesAndKeepsTheReadersPlace) {
  TestForm form;
  Memo::Options options;
  options.vScroll = true;
  options.wordWrap = false;
  auto* memo = form.Make<Memo>(&form, "memo", options);
  memo->SetBounds(0, 0, 280, 150);
  form.ShowForm();
  const auto page = [](int n, const std::string& tag) {
    std::vector<std::string> lines;
    for (int i = 0; i < n; ++i) lines.push_back("row " + std::to_string(i) + tag);
    return lines;
  };
  const auto joined = [](const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
    return text;
  };
  const auto replace = [&](const std::vector<std::string>& lines) {
    memo->BeginReplace(lines);
    while (!memo->ContinueReplace(INFINITE)) {
    }
  };

  // Each step replaces one text by the next: at the start, the end, the
  // middle, everything, or a line that now holds a line break.
  std::vector<std::string> bigger = page(300, "");
  bigger[150] = "changed";
  std::vector<std::string> broken = bigger;
  broken[10] = "two\r\nlines";
  const std::vector<std::vector<std::string>> steps = {
      page(300, ""), page(301, ""), page(300, ""), bigger, page(300, " again"), {}, page(3, ""), broken,
  };
  for (const auto& step : steps) {
    replace(step);
    const std::vector<std::string> expected = SplitLineBreaks(joined(step));
    EXPECT_EQ(memo->Text(), joined(step));
    EXPECT_EQ(memo->GetLines().Count(), step.empty() ? 0 : static_cast<int>(expected.size()));
  }

  // A large change goes in pieces; the lines read back whole at once, and
  // the reader's first visible line stays.
  replace(page(2000, ""));
  SendMessageA(memo->Handle(), EM_LINESCROLL, 0, 700);
  const LRESULT first = SendMessageA(memo->Handle(), EM_GETFIRSTVISIBLELINE, 0, 0);
  ASSERT_GE(first, 690);
  memo->BeginReplace(page(2000, " and more text on every line"));
  EXPECT_EQ(memo->GetLines()[1999], "row 1999 and more text on every line");
  int steps2 = 1;
  while (!memo->ContinueReplace(0)) ++steps2;
  EXPECT_GT(steps2, 5);
  EXPECT_FALSE(memo->Replacing());
  EXPECT_EQ(memo->Text(), joined(page(2000, " and more text on every line")));
  EXPECT_EQ(SendMessageA(memo->Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), first);
  EXPECT_TRUE(IsWindowVisible(memo->Handle())) << "painting is back on";

  // Writing the lines while a replacement goes on completes it first.
  memo->BeginReplace(page(2000, ""));
  memo->GetLines().Add("appended");
  EXPECT_EQ(memo->Text(), joined(page(2000, "")) + "\r\nappended");
  form.HideForm();
}

TEST(ListBox, KeepsItemsWhole) {
  TestForm form;
  auto* box = form.Make<ListBox>(&form, "box", false);
  Lines& items = box->GetLines();
  items.Add("a");
  items.Add("b c");
  EXPECT_EQ(items.Count(), 2);
  EXPECT_EQ(items[1], "b c");
  EXPECT_EQ(SendMessageA(box->Handle(), LB_GETCOUNT, 0, 0), 2);
  items.Clear();
  EXPECT_EQ(items.Count(), 0);
}

TEST(ListBox, KeepsItsNewestItemInView) {
  TestForm form;
  auto* box = form.Make<ListBox>(&form, "box", false);
  box->SetBounds(0, 0, 200, 60);
  box->SetItemHeight(12);
  Lines& items = box->GetLines();
  auto lastInView = [&] {
    RECT client{}, last{};
    GetClientRect(box->Handle(), &client);
    const LRESULT count = SendMessageA(box->Handle(), LB_GETCOUNT, 0, 0);
    SendMessageA(box->Handle(), LB_GETITEMRECT, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(&last));
    return last.top >= client.top && last.bottom <= client.bottom;
  };
  for (int i = 0; i < 30; ++i) items.Add("line " + std::to_string(i));
  EXPECT_GT(SendMessageA(box->Handle(), LB_GETTOPINDEX, 0, 0), 0);
  EXPECT_TRUE(lastInView()) << "one by one";
  {
    LinesUpdate batch(items);
    for (int i = 30; i < 60; ++i) items.Add("line " + std::to_string(i));
  }
  EXPECT_TRUE(lastInView()) << "in one batch";
}
