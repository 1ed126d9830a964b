// The real main window, created in the test process: keyboard map, panel
// switching, dragging, hover pictures, the question panel and closing.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/MainWindowTest.h"

namespace {

// Replaces every button's click handler with a recorder of its name.
struct ClickRecorder {
  std::vector<std::string> clicked;
  explicit ClickRecorder(TfrmMain* form) {
    for (const char* name :
         {"btnIpAddr", "btnMacAddr", "btnDnsSrv", "btnDefGw", "btnNetConn", "btnInetOpt", "btnFirewall", "btnIpConf",
          "btnFlashDNS", "btnRepair", "btnPingGateway", "btnPingVelnor", "btnPingTehran", "btnPingBackbone",
          "btnTracert", "btnPingGoogle", "btnStartAutoTest", "btnAuto", "btnNetUtil"}) {
      form->Find<FlatButton>(name)->OnClick = [this, name](Component*) { clicked.push_back(name); };
    }
  }
};

// The window opened at once on the fake machine as it comes.
class MainShellTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Open();
  }
};

}  // namespace

TEST_F(MainShellTest, AfterShowTheToolsPanelIsUp) {
  EXPECT_EQ(form->PanelMode, 1);
  EXPECT_TRUE(form->pnlUtil->Visible());
  EXPECT_FALSE(form->pnlAuto->Visible());
  EXPECT_FALSE(form->btnNetUtil->Enabled());
  EXPECT_TRUE(form->btnAuto->Enabled());
  EXPECT_TRUE(form->imgUtilHover->Visible());
  EXPECT_EQ(form->Caption(), "Velnor Network Util");
  RECT client{};
  GetClientRect(form->Handle(), &client);
  EXPECT_EQ(client.right, 800);
  EXPECT_EQ(client.bottom, 600);
}

TEST_F(MainShellTest, KeyboardMapOfEveryMode) {
  struct Case {
    uint8_t mode;
    WORD key;
    TShiftState shift;
    const char* expected;  // null: nothing is clicked
  } cases[] = {
      {1, VK_NUMPAD1, 0, "btnIpAddr"},
      {1, VK_NUMPAD2, 0, "btnMacAddr"},
      {1, VK_NUMPAD3, 0, "btnDnsSrv"},
      {1, VK_NUMPAD4, 0, "btnDefGw"},
      {1, VK_F1, 0, "btnNetConn"},
      {1, VK_F2, 0, "btnInetOpt"},
      {1, VK_F3, 0, "btnFirewall"},
      {1, VK_F4, 0, "btnIpConf"},
      {1, VK_F5, 0, "btnFlashDNS"},
      {1, VK_F6, 0, "btnRepair"},
      {1, VK_F7, 0, "btnPingGateway"},
      {1, VK_F8, 0, "btnPingVelnor"},
      {1, VK_F9, 0, "btnPingTehran"},
      {1, VK_F10, 0, "btnPingBackbone"},
      {1, VK_F11, 0, "btnTracert"},
      {1, VK_F12, 0, "btnPingGoogle"},
      {1, VK_F12, ssShift, "btnPingGoogle"},
      {1, VK_F4, ssShift, "btnIpConf"},
      // Alt+F4 closes the window (the system's own handling); with Alt or
      // Ctrl an F-key runs no tool.
      {1, VK_F4, ssAlt, nullptr},
      {1, VK_F4, ssCtrl, nullptr},
      {1, VK_F4, ssShift | ssAlt, nullptr},
      {1, VK_F6, ssCtrl, nullptr},
      {1, VK_F1, ssAlt, nullptr},
      {1, VK_F12, ssCtrl, nullptr},
      {1, VK_F12, ssAlt, nullptr},
      {1, VK_F12, ssCtrl | ssAlt, nullptr},
      {1, VK_F12, ssShift | ssAlt, nullptr},
      {1, VK_NUMPAD1, ssCtrl, "btnIpAddr"},
      {2, VK_F1, ssAlt, nullptr},
      {2, VK_RETURN, ssAlt, "btnStartAutoTest"},
      {0, VK_F1, ssCtrl, nullptr},
      {0, VK_F2, ssAlt, nullptr},
      {1, 'A', 0, nullptr},
      {1, VK_RETURN, 0, nullptr},
      {2, VK_RETURN, 0, "btnStartAutoTest"},
      {2, VK_F1, 0, "btnStartAutoTest"},
      {2, VK_F2, 0, nullptr},
      {2, VK_NUMPAD1, 0, nullptr},
      {0, VK_F1, 0, "btnAuto"},
      {0, VK_F2, 0, "btnNetUtil"},
      {0, VK_F3, 0, nullptr},
      {0, VK_F12, 0, nullptr},
      {0, VK_RETURN, 0, nullptr},
  };
  ClickRecorder rec(form);
  for (const Case& c : cases) {
    rec.clicked.clear();
    form->PanelMode = c.mode;
    WORD key = c.key;
    form->FormKeyDown(key, c.shift);
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " key " + std::to_string(c.key) + " shift " +
                 std::to_string(c.shift));
    if (c.expected) {
      ASSERT_EQ(rec.clicked.size(), 1u);
      EXPECT_EQ(rec.clicked[0], c.expected);
    } else {
      EXPECT_TRUE(rec.clicked.empty());
    }
    EXPECT_EQ(key, c.key) << "the key is not consumed";
  }

  // Enter on the test panel does nothing while a test runs.
  form->PanelMode = 2;
  form->btnStartAutoTest->SetEnabled(false);
  rec.clicked.clear();
  WORD enter = VK_RETURN;
  form->FormKeyDown(enter, 0);
  EXPECT_TRUE(rec.clicked.empty());
}

TEST_F(MainShellTest, CtrlShiftF12OpensTheMonitorModally) {
  ClickRecorder rec(form);
  form->PanelMode = 1;
  bool shown = false;
  bool mainDisabledMeanwhile = false;
  frmTCPIPMonitor->OnShow = [&](Component*) {
    shown = true;
    mainDisabledMeanwhile = !IsWindowEnabled(form->Handle());
    PostMessageA(frmTCPIPMonitor->Handle(), WM_CLOSE, 0, 0);
  };
  WORD key = VK_F12;
  form->FormKeyDown(key, ssShift | ssCtrl);
  frmTCPIPMonitor->OnShow = nullptr;
  EXPECT_TRUE(shown);
  EXPECT_TRUE(mainDisabledMeanwhile);
  EXPECT_FALSE(frmTCPIPMonitor->Visible()) << "closing the monitor hides it";
  EXPECT_TRUE(IsWindowEnabled(form->Handle()));
  EXPECT_TRUE(rec.clicked.empty());
}

TEST_F(MainShellTest, CtrlShiftAltF12ShakesAndPutsTheWindowBack) {
  ClickRecorder rec(form);
  form->PanelMode = 1;
  RECT before{};
  GetWindowRect(form->Handle(), &before);
  int moves = 0;
  form->OnResize = nullptr;
  // Count the moves the window really makes.
  auto* old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(form->Handle(), GWLP_WNDPROC));
  static int* counter;
  counter = &moves;
  static WNDPROC chain;
  chain = old;
  SetWindowLongPtrA(form->Handle(), GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                      auto* wp = reinterpret_cast<WINDOWPOS*>(l);
                      if (m == WM_WINDOWPOSCHANGED && !(wp->flags & SWP_NOMOVE)) {
                        ++*counter;
                      }
                      return CallWindowProcA(chain, h, m, w, l);
                    }));
  WORD key = VK_F12;
  form->FormKeyDown(key, ssShift | ssCtrl | ssAlt);
  SetWindowLongPtrA(form->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
  RECT after{};
  GetWindowRect(form->Handle(), &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_GE(moves, 1000) << "26 passes of 100 horizontal and 100 vertical moves";
  EXPECT_TRUE(rec.clicked.empty());
}

TEST_F(MainShellTest, PanelSwitching) {
  form->btnAuto->Click();
  EXPECT_EQ(form->PanelMode, 2);
  EXPECT_TRUE(form->pnlAuto->Visible());
  EXPECT_FALSE(form->pnlUtil->Visible());
  EXPECT_FALSE(form->btnAuto->Enabled());
  EXPECT_TRUE(form->btnNetUtil->Enabled());
  EXPECT_TRUE(form->imgAutoHover->Visible());
  EXPECT_FALSE(form->imgUtilHover->Visible());

  form->imgHelpClick(form->imgHelp);
  EXPECT_EQ(form->PanelMode, 0);
  EXPECT_FALSE(form->pnlAuto->Visible());
  EXPECT_FALSE(form->pnlUtil->Visible());
  EXPECT_TRUE(form->btnAuto->Enabled());
  EXPECT_TRUE(form->btnNetUtil->Enabled());
  EXPECT_FALSE(form->imgAutoHover->Visible());
  EXPECT_FALSE(form->imgUtilHover->Visible());

  // The firewall pictures lead to the help view as well.
  form->btnNetUtil->Click();
  EXPECT_EQ(form->PanelMode, 1);
  form->imgFWDisable->Click();
  EXPECT_EQ(form->PanelMode, 0);
}

TEST_F(MainShellTest, DragsByTheHeaderWithTheLeftButtonOnly) {
  HWND header = form->pnlHeader->Handle();
  RECT start{};
  GetWindowRect(form->Handle(), &start);

  // Right button: no drag.
  SendMessageA(header, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, 20));
  SendMessageA(header, WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(150, 30));
  SendMessageA(header, WM_RBUTTONUP, 0, MAKELPARAM(150, 30));
  RECT r{};
  GetWindowRect(form->Handle(), &r);
  EXPECT_EQ(r.left, start.left);
  EXPECT_EQ(r.top, start.top);

  // Left button: the window follows the mouse exactly.
  SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 20));
  EXPECT_TRUE(form->DragActive);
  SendMessageA(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(130, 35));
  GetWindowRect(form->Handle(), &r);
  EXPECT_EQ(r.left, start.left + 30);
  EXPECT_EQ(r.top, start.top + 15);
  SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(100, 20));
  EXPECT_FALSE(form->DragActive);
  SendMessageA(header, WM_MOUSEMOVE, 0, MAKELPARAM(200, 40));
  GetWindowRect(form->Handle(), &r);
  EXPECT_EQ(r.left, start.left + 30) << "releasing ends the drag";
}

TEST_F(MainShellTest, QuestionPanelDragsInsideTheWindowAndDisablesTheMainPanel) {
  form->imgProxyClick(form->imgProxy);
  EXPECT_TRUE(form->pnlConfirm->Visible());
  EXPECT_FALSE(form->pnlMain->Enabled());
  EXPECT_FALSE(IsWindowEnabled(form->pnlMain->Handle()));

  HWND panel = form->pnlConfirm->Handle();
  SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 10));  // on imgConfirm, off the buttons
  SendMessageA(panel, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(260, 30));
  SendMessageA(panel, WM_LBUTTONUP, 0, MAKELPARAM(260, 30));
  EXPECT_EQ(form->pnlConfirm->Left(), 179 - 40);
  EXPECT_EQ(form->pnlConfirm->Top(), 280 + 20);

  // A click on the drawn "No" answers the question.
  SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 85));
  SendMessageA(panel, WM_LBUTTONUP, 0, MAKELPARAM(60, 85));
  EXPECT_FALSE(form->pnlConfirm->Visible());
  EXPECT_TRUE(form->pnlMain->Enabled());
}

TEST_F(MainShellTest, HoverPicturesAndTheBusyTag) {
  form->imgRefreshMouseMove(form->imgRefresh, TMouseButton::Left, 0, 5, 5);
  EXPECT_EQ(form->imgRefresh->Tag, 1);
  EXPECT_EQ(form->imgRefresh->GetPicture(), form->imgRefHover->GetPicture());
  form->imgHelpMouseMove(form->imgHelp, TMouseButton::Left, 0, 5, 5);
  EXPECT_EQ(form->imgHelp->GetPicture(), form->imgHelpHover->GetPicture());

  form->imgBackgroundMouseMove(form->imgBackground, TMouseButton::Left, 0, 5, 5);
  EXPECT_EQ(form->imgRefresh->Tag, 0);
  EXPECT_FALSE(form->imgRefresh->HasPicture());
  EXPECT_EQ(form->imgHelp->Tag, 0);
  EXPECT_FALSE(form->imgHelp->HasPicture());

  // Busy: hovering changes nothing, and leaving keeps the state.
  form->imgRefresh->Tag = 2;
  form->imgRefreshMouseMove(form->imgRefresh, TMouseButton::Left, 0, 5, 5);
  EXPECT_FALSE(form->imgRefresh->HasPicture());
  form->imgBackgroundMouseMove(form->imgBackground, TMouseButton::Left, 0, 5, 5);
  EXPECT_EQ(form->imgRefresh->Tag, 2);

  // Real mouse movement reaches the same handlers through the panel.
  form->imgRefresh->Tag = 0;
  SendMessageA(form->pnlMain->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(720, 270));
  EXPECT_EQ(form->imgRefresh->Tag, 1);
  SendMessageA(form->pnlMain->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(680, 400));
  EXPECT_EQ(form->imgRefresh->Tag, 0);
}

TEST_F(MainShellTest, PicturesAreDecodedWhenShownAndReleasedWhenNothingShowsThem) {
  UpdateWindow(form->Handle());
  RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Application.ProcessMessages();
  auto decoded = [&](const char* name) { return form->Find<Picture>(name)->GetPicture()->Decoded(); };
  EXPECT_TRUE(decoded("imgBackground"));
  EXPECT_TRUE(decoded("imgUtilBack"));
  for (const char* hidden : {"imgSuccess", "imgRefHover", "imgAutoBack", "imgTesting", "imgLoading", "imgFail01",
                             "imgWarn04", "imgToolFail", "imgConfirm", "imgVPN", "imgProxy", "imgLoadingTools"})
    EXPECT_FALSE(decoded(hidden)) << hidden << " is decoded though nothing shows it";

  // A stage mark shows the success picture; once no mark shows it, it is
  // released again, and the next mark looks the same.
  Picture* mark = form->Find<Picture>("Image3");
  const ImagePtr success = form->imgSuccess->GetPicture();
  mark->SetPicture(success);
  EXPECT_EQ(mark->Width(), 18) << "the size is there before the first paint";
  RedrawWindow(form->pnlAuto->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  form->btnAuto->Click();
  RedrawWindow(form->pnlAuto->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_TRUE(success->Decoded());
  mark->SetPicture(nullptr);
  EXPECT_FALSE(success->Decoded());
  EXPECT_EQ(success->Width(), 18);
  EXPECT_EQ(success->FrameCount(), 1);

  // An animation decodes when it shows and lets go when it hides.
  const ImagePtr loading = form->imgLoading->GetPicture();
  form->imgLoading->Show();
  RedrawWindow(form->pnlAuto->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_TRUE(loading->Decoded());
  EXPECT_EQ(loading->FrameCount(), 8);
  form->imgLoading->Hide();
  EXPECT_FALSE(loading->Decoded());
}