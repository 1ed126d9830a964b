// The automatic connection test: stage 1 in the click handler, stages 2 to 5
// on ping workers chained through WM_PING_FINISHED, stages 6 and 7 once the
// queue is empty.
#include <cstdio>

#include "Endpoints.h"
#include "main/Main_u.h"
#include "platform/Sys.h"
#include "workers/ExecThread.h"

namespace {

const char kCommandStillRunning[] =
    "WARNING: A tools command is still running. Start the test again when it has finished.";
const char kNoUsableGateway[] = "WARNING: No adapter has a default gateway to ping: the gateway test fails.";

}  // namespace

const TfrmMain::Stage& TfrmMain::StageOf(int number) {
  static const Stage stages[] = {
      {1, "Local configuration", &TfrmMain::Image1, &TfrmMain::imgFail01, nullptr, nullptr},
      {2, "Default gateway", &TfrmMain::Image2, &TfrmMain::imgFail02, nullptr,
       [](const TfrmMain& f) { return f.StageTwoGateway(); }},
      {3, "Provider's server", &TfrmMain::Image3, &TfrmMain::imgFail03, nullptr,
       [](const TfrmMain&) { return std::string(endpoints::ProviderServerAddress); }},
      {4, "International backbone", &TfrmMain::Image4, &TfrmMain::imgFail04, &TfrmMain::imgWarn04,
       [](const TfrmMain&) { return std::string(endpoints::BackboneAddresses); }},
      {5, "Public web hosts", &TfrmMain::Image5, &TfrmMain::imgFail05, &TfrmMain::imgWarn05,
       [](const TfrmMain&) { return std::string(endpoints::PublicWebHosts); }},
      {6, "Provider's web page", &TfrmMain::Image6, &TfrmMain::imgFail06, nullptr, nullptr},
      {7, "Internet connection", &TfrmMain::Image7, &TfrmMain::imgFail07, nullptr, nullptr},
  };
  return stages[number >= 1 && number <= 7 ? number - 1 : 0];
}

void TfrmMain::MarkStage(int number) {
  (this->*StageOf(number).mark)->SetPicture(imgSuccess->GetPicture());
  StageResults[number] = TStageResult::Passed;
}

void TfrmMain::WarnStage(int number) {
  const Stage& stage = StageOf(number);
  if (stage.warnStrip) {
    (this->*stage.warnStrip)->Show();
    AddLog("Ping Thread Warning!", true);
  }
  StageResults[number] = TStageResult::Warning;
}

void TfrmMain::FailStage(int number) {
  (this->*StageOf(number).failStrip)->Show();
  StageResults[number] = TStageResult::Failed;
}

int TfrmMain::TestVerdict() const {
  int verdict = 0;
  for (int number = 1; number <= 7; ++number) {
    if (StageResults[number] == TStageResult::Failed) return 2;
    if (StageResults[number] == TStageResult::Warning) verdict = 1;
  }
  return verdict;
}

void TfrmMain::btnStartAutoTestClick(Component*) {
  if (!PrepareTest(1)) return;
  SetTestBusy(true);
  // The test is about the machine as it is now, not as it was when the
  // window opened: stage 1 lists it and stage 2 pings its gateway.
  lblResult->SetCaption("");
  ReadAdapterState();
  try {
    ReadProxyIndicator();
  } catch (const std::exception& e) {
    // Only the proxy indicator is missing; the test goes on.
    AddLog(std::string("Error: ") + e.what(), true);
  }

  bool ok = ListAdapters();
  if (ok) ok = ListIpAddresses();
  if (ok) ok = ListNetworkParams();
  StartEvidence();
  if (!ok) {
    FailStage(1);
    EndTest();
    return;
  }
  MarkStage(1);

  if (!BuildPingQueue()) {
    FailStage(2);
    EndTest();
    return;
  }
  // The handler starts the first ping once this click has returned.
  PostMessageA(Handle(), WM_PING_FINISHED, static_cast<WPARAM>(-1), 0);
}

bool TfrmMain::PrepareTest(uint8_t mode) {
  try {
    if (CurrentExecThread) {
      imgWarnIncomplete->Show();
      // The strip is on the tools panel; a start refused on the test panel
      // says so where the user is looking.
      if (mode == 1) AddLog(kCommandStillRunning, true);
      return false;
    }
    imgWarnIncomplete->Hide();
    if (mode == 0) {
      memToolsOutput->GetLines().Clear();
      lblResult->SetCaption("");
      lblPercent->SetCaption("");
      lblAverage->SetCaption("");
      imgToolSucceed->Hide();
      imgToolWarn->Hide();
      imgToolFail->Hide();
    }
    if (mode == 1) {
      for (int number = 1; number <= 7; ++number) {
        const Stage& stage = StageOf(number);
        (this->*stage.mark)->SetPicture(nullptr);
        (this->*stage.failStrip)->Hide();
        if (stage.warnStrip) (this->*stage.warnStrip)->Hide();
        StageResults[number] = TStageResult::NotRun;
      }
      TestHasRun = true;
      WorkList.Clear();
      memOutput->GetLines().Clear();
      lstEvents->GetLines().Clear();
      btnStartAutoTest->SetEnabled(true);
      imgStart->Show();
      imgTesting->Hide();
      imgLoading->Hide();
    }
    TestStopped = false;
    imgFailGetData->Hide();
    return true;
  } catch (const std::exception& e) {
    AddLog(std::string("Error: ") + e.what(), true);
    return false;
  }
}

void TfrmMain::SetTestBusy(bool busy) {
  // A test run from the command line ends with the test: its report is
  // written once the last handler has returned.
  if (TestBusy && !busy && TestRun.active) PostMessageA(Handle(), WM_TEST_RUN_ENDED, 0, 0);
  TestBusy = busy;
  imgTesting->SetVisible(busy);
  imgLoading->SetVisible(busy);
  imgStart->SetVisible(!busy);
  btnStartAutoTest->SetEnabled(!busy);
  UpdateRefreshBusy();
}

void TfrmMain::UpdateRefreshBusy() {
  // A refresh clears the test log and the tool output: never while either
  // is being written.
  const bool busy = TestBusy || CurrentExecThread != nullptr;
  imgRefresh->SetCursor(busy ? TCursor::No : TCursor::Hand);
  imgRefresh->Tag = busy ? 2 : 0;
}

std::string TfrmMain::StageTwoGateway() const {
  if (UsableGateway(AdapterSlots[1].Gateway)) return PlainAddress(AdapterSlots[1].Gateway);
  // The first adapter may have none (a wired port without a router behind
  // a working wireless one): the adapter the summary chose has one.
  if (CurrentAdapterChosen && UsableGateway(CurrentAdapter.Gateway)) return PlainAddress(CurrentAdapter.Gateway);
  return std::string();
}

bool TfrmMain::BuildPingQueue() {
  if (!AdapterInfoReady()) return false;
  try {
    int item = 0;
    for (int number = 1; number <= 7; ++number) {
      const Stage& stage = StageOf(number);
      if (!stage.target) continue;
      PingItems[item].Target = stage.target(*this);
      PingItems[item].Index = static_cast<uint8_t>(number);
      PingItems[item].Results = PingResults[number];
      // An empty name would be answered by this machine itself, and
      // "0.0.0.0" names no router: without a real gateway stage 2 fails
      // here, before anything is queued.
      if (PingItems[item].Target.empty()) {
        AddLog(kNoUsableGateway, true);
        return false;
      }
      ++item;
    }
    for (int i = 0; i < item; ++i) {
      PingQueue.push(&PingItems[i]);
      lstEvents->GetLines().Add(" >> Pinging Item push to queue: " + PingItems[i].Target);
    }
    return true;
  } catch (const std::exception& e) {
    memToolsOutput->GetLines().Add(std::string("Error: ") + e.what());
    return false;
  }
}

std::string TfrmMain::ShellErrorText(int code) {
  switch (code) {
    case 0: return "The operating system is out of memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied access to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred.";
    case 27: return "The filename association is incomplete or invalid.";
    case 28: return "The DDE transaction could not be completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30: return "The DDE transaction could not be completed because other DDE transactions were being processed.";
    case 31: return "There is no application associated with the given filename extension.";
    case 32: return "The specified dynamic-link library was not found.";
    default: return "An unknown error occurred: " + std::to_string(code);
  }
}

bool TfrmMain::ShellOpen(const std::string& address) {
  HINSTANCE result = Sys.ShellExecuteA(Handle(), "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  const INT_PTR code = reinterpret_cast<INT_PTR>(result);
  if (code > 32) return true;
  AddLog("Error: " + ShellErrorText(static_cast<int>(code)), true);
  return false;
}

void TfrmMain::AddLog(const std::string& text, bool toTestLog) {
  (toTestLog ? memOutput : memToolsOutput)->GetLines().Add(text);
}

void TfrmMain::StopTestAtStage(LPARAM index) {
  if (index >= 1 && index <= 7) FailStage(static_cast<int>(index));
  AddLog("Ping Thread FAILED!", true);
  while (!PingQueue.empty()) PingQueue.pop();
  TestStopped = true;
  EndTest();
}

void TfrmMain::HandlePingFinished(WPARAM wp, LPARAM lp) {
  Sys.Sleep(500);
  const auto verdict = static_cast<INT_PTR>(wp);
  if (verdict == 0) {
    StopTestAtStage(lp);
    return;
  }
  if (lp >= 1 && lp <= 7) {
    if (verdict == 1) WarnStage(static_cast<int>(lp));
    if (verdict == 2) MarkStage(static_cast<int>(lp));
  }

  if (!PingQueue.empty()) {
    TPingItem* item = PingQueue.front();
    PingQueue.pop();
    try {
      // Frees itself when done; its own message brings us back here.
      new TPingThread(Handle(), item, 4, 2000, PingLinesOf(&memOutput->GetLines(), &lstEvents->GetLines()));
    } catch (const std::exception& e) {
      // No worker, so no message will come: the stage fails now, and the
      // window is ready for the next test.
      AddLog(std::string("Error: ") + e.what(), true);
      StopTestAtStage(item->Index);
      return;
    }
    if (imgWarnIncomplete->Visible()) imgWarnIncomplete->Hide();
    return;
  }

  if (CurrentExecThread) {
    CurrentExecThread->Terminate();
    Sys.Sleep(500);
  }
  if (!TestStopped) {
    StartWebEvidence();
    if (!ShellOpen(endpoints::ProviderWebPage)) {
      FailStage(6);
      EndTest();
      return;
    }
    MarkStage(6);
    // The browser that just opened would cover the window.
    SetForegroundWindow(Handle());
    if (CheckInternetState())
      MarkStage(7);
    else
      FailStage(7);
  }
  EndTest();
}
