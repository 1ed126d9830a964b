#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/TestForm.h"

TEST(Timer, TicksWhileEnabledStopsFromItsOwnHandlerAndGoesWithItsForm) {
  std::vector<std::string> reports;
  Application.OnException = [&](const std::string& m) { reports.push_back(m); };
  const std::size_t before = Application.TimerCount();
  auto form = std::make_unique<TestForm>();
  auto* timer = form->Make<Timer>("tmr");
  timer->SetInterval(10);
  EXPECT_EQ(Application.TimerCount(), before) << "a new timer is off";
  int ticks = 0;
  timer->OnTimer = [&](Component* sender) {
    EXPECT_EQ(sender, timer);
    if (++ticks == 1) throw std::runtime_error("tick failed");
    if (ticks == 3) timer->SetEnabled(false);  // as a sliding panel's last step does
  };
  timer->SetEnabled(true);
  EXPECT_TRUE(Application.ProcessMessagesUntil([&] { return !timer->Enabled(); }, 5000));
  Application.ProcessMessagesUntil([] { return false; }, 100);
  EXPECT_EQ(ticks, 3) << "an error in a tick is reported and the timer goes on; disabled, it stops";
  EXPECT_EQ(reports, (std::vector<std::string>{"tick failed"}));
  EXPECT_EQ(Application.TimerCount(), before);

  timer->SetEnabled(true);
  timer->SetInterval(20);
  EXPECT_EQ(Application.TimerCount(), before + 1) << "a new interval replaces the running timer";
  form.reset();
  EXPECT_EQ(Application.TimerCount(), before) << "the form's end stops its timers";
  Application.OnException = nullptr;
}

TEST(Form, ShowModalServesMessagesUntilHiddenWithItsOwnerDisabled) {
  TestForm owner;
  TestForm dialog;
  Application.SetMainWindow(owner.Handle());
  auto* timer = dialog.Make<Timer>("tmrClose");
  timer->SetInterval(10);
  bool ownerDisabled = false;
  timer->OnTimer = [&](Component*) {
    ownerDisabled = !IsWindowEnabled(owner.Handle());
    timer->SetEnabled(false);
    dialog.HideForm();
  };
  timer->SetEnabled(true);
  dialog.ShowModal();
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
  EXPECT_FALSE(dialog.Modal());
  EXPECT_FALSE(Application.Terminated());

  // A WM_QUIT ends the modal loop and the application, and is left for the
  // loop outside.
  PostQuitMessage(0);
  dialog.ShowModal();
  EXPECT_TRUE(Application.Terminated());
  EXPECT_FALSE(IsWindowVisible(dialog.Handle()));
  EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
  MSG m;
  EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  Application.Initialize();  // clears the terminating flag again
  Application.SetMainWindow(nullptr);
}

TEST(Form, KeyPreviewSeesAKeyBeforeTheFocusedControlAndLeavesItThere) {
  struct Case {
    bool keyPreview;
    int seen;
  } cases[] = {{true, 1}, {false, 0}};
  for (const Case& c : cases) {
    TestForm form;
    form.KeyPreview = c.keyPreview;
    Memo::Options options;
    options.readOnly = false;
    auto* memo = form.Make<Memo>(&form, "memo", options);
    memo->SetBounds(0, 0, 200, 100);
    memo->GetLines().Add("abc");
    int seen = 0;
    WORD seenKey = 0;
    form.OnKeyDown = [&](WORD& key, TShiftState) {
      ++seen;
      seenKey = key;
      // The memo must not have moved its caret yet.
      DWORD start = 1, end = 1;
      SendMessageA(memo->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      EXPECT_EQ(start, 0u);
    };
    SendMessageA(memo->Handle(), EM_SETSEL, 0, 0);
    PostMessageA(memo->Handle(), WM_KEYDOWN, VK_END, 1);
    Application.ProcessMessages();
    EXPECT_EQ(seen, c.seen) << c.keyPreview;
    if (c.seen) {
      EXPECT_EQ(seenKey, VK_END);
    }
    DWORD start = 0, end = 0;
    SendMessageA(memo->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 3u) << "the memo still gets the key";
  }
}
