#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Thread.h"

namespace {

struct TestForm : Form {
  TestForm() : Form("frmTest", "test", 300, 200, Style{}) {}
};

}  // namespace

TEST(Skin, EveryPictureDecodesAtItsSizeAndFrameCount) {
  struct Case {
    const char* name;
    int width, height, frames;
  } cases[] = {
      {"imgHeader", 800, 43, 1},       {"imgBackground", 800, 600, 1},  {"imgSuccess", 18, 18, 1},
      {"imgUtilHover", 143, 140, 1},   {"imgAutoHover", 143, 140, 1},   {"imgRefHover", 50, 50, 1},
      {"imgHelpHover", 40, 40, 1},     {"imgUtilBack", 657, 534, 1},    {"imgFWOff", 163, 36, 1},
      {"imgFWDisable", 162, 36, 1},    {"imgToolWarn", 530, 32, 1},     {"imgToolFail", 530, 32, 1},
      {"imgWarnIncomplete", 530, 32, 1}, {"imgFailGetData", 530, 32, 1}, {"imgToolSucceed", 530, 32, 1},
      {"imgCascade", 614, 436, 1},     {"imgAutoBack", 657, 534, 1},    {"imgTesting", 199, 55, 1},
      {"imgStart", 199, 54, 1},        {"imgFail01", 222, 24, 1},       {"imgFail02", 222, 22, 1},
      {"imgFail03", 222, 21, 1},       {"imgFail04", 222, 23, 1},       {"imgFail05", 222, 22, 1},
      {"imgFail06", 222, 21, 1},       {"imgFail07", 222, 22, 1},       {"imgWarn04", 222, 23, 1},
      {"imgWarn05", 222, 22, 1},       {"imgConfirm", 350, 117, 1},     {"imgLoading", 30, 30, 8},
      {"imgLoadingTools", 30, 30, 8},  {"imgVPN", 186, 31, 2},          {"imgProxy", 203, 31, 2},
      {"ForceUpdate", 16, 16, 1},
  };
  for (const Case& c : cases) {
    ImagePtr img = Image::FromResource(c.name);
    ASSERT_TRUE(img) << c.name;
    EXPECT_EQ(img->Width(), c.width) << c.name;
    EXPECT_EQ(img->Height(), c.height) << c.name;
    EXPECT_EQ(img->FrameCount(), c.frames) << c.name;
  }
}

TEST(Panel, PaintsInOrderAndHitTestsTheTopmostVisibleEnabledChild) {
  TestForm form;
  auto* back = form.Make<Picture>(&form, "back");
  back->SetBounds(0, 0, 300, 200);
  auto* a = form.Make<FlatButton>(&form, "a");
  a->SetBounds(10, 10, 50, 50);
  auto* b = form.Make<FlatButton>(&form, "b");
  b->SetBounds(30, 30, 50, 50);
  EXPECT_EQ(form.ControlAt(POINT{40, 40}), b) << "later children lie in front";
  EXPECT_EQ(form.ControlAt(POINT{15, 15}), a);
  EXPECT_EQ(form.ControlAt(POINT{200, 150}), back);
  b->SetEnabled(false);
  EXPECT_EQ(form.ControlAt(POINT{40, 40}), a) << "a disabled control lets the mouse through";
  b->SetEnabled(true);
  b->Hide();
  EXPECT_EQ(form.ControlAt(POINT{40, 40}), a);
  EXPECT_EQ(form.FindComponent("b"), b);
  EXPECT_EQ(form.FindComponent("nothing"), nullptr);
}

TEST(Panel, ClickIsAPressAndReleaseOnTheSameControlAndHidingForgetsHover) {
  TestForm form;
  auto* btn = form.Make<FlatButton>(&form, "btn");
  btn->SetBounds(10, 10, 50, 50);
  int clicks = 0;
  btn->OnClick = [&](Component* sender) {
    EXPECT_EQ(sender, btn);
    ++clicks;
  };
  HWND h = form.Handle();
  SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(form.Hovered(), btn);
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(25, 25));
  EXPECT_EQ(clicks, 1);
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(200, 150));
  EXPECT_EQ(clicks, 1) << "released elsewhere: no click";
  SendMessageA(h, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
  SendMessageA(h, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(clicks, 1) << "the right button does not click";
  SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  btn->Hide();
  EXPECT_EQ(form.Hovered(), nullptr);
}

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

TEST(Application, GuardReportsAnEscapingErrorAndGoesOn) {
  std::vector<std::string> reports;
  Application.OnException = [&](const std::string& m) { reports.push_back(m); };
  Application.Guard([] { throw std::runtime_error("disk on fire"); });
  Application.Guard([] {});
  Application.OnException = nullptr;
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "disk on fire");
  EXPECT_EQ(ExceptionClassName(std::runtime_error("x")), "std::runtime_error");
}

namespace {

class SyncWorker : public Thread {
 public:
  explicit SyncWorker(std::vector<std::string>& log) : log_(log) { Start(); }
  ~SyncWorker() override { WaitFor(); }
  std::string error;

 protected:
  void Execute() override {
    for (int i = 0; i < 3; ++i) Synchronize([this, i] { log_.push_back("line " + std::to_string(i)); });
    try {
      Synchronize([] { throw std::runtime_error("append failed"); });
    } catch (const std::exception& e) {
      error = e.what();
    }
  }

 private:
  std::vector<std::string>& log_;  // not owned
};

}  // namespace

TEST(Thread, SynchronizeRunsOnTheMainThreadWhileItJoins) {
  std::vector<std::string> log;
  SyncWorker worker(log);
  worker.WaitFor();  // would deadlock if the join did not serve the hand-overs
  EXPECT_EQ(log, (std::vector<std::string>{"line 0", "line 1", "line 2"}));
  EXPECT_EQ(worker.error, "append failed") << "an error on the main thread reaches the worker";
}
