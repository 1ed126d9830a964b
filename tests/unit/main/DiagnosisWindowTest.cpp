// The finding after a test in the real main window: made from what the
// stages and the checks saw, shown over the test log (F3 between them),
// its repair on F2, and the same facts in the report and the JSON text.
#include <gtest/gtest.h>

#include <cstring>

#include "Endpoints.h"
#include "platform/Sys.h"
#include "support/MainWindowTest.h"
#include "workers/ExecThread.h"

namespace {

// A web server the request reaches: its status and the address it ends at.
int webStatus = 200;
std::string webFinalUrl;
int webHandlesOpen = 0;

HINTERNET WINAPI WebOpen(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD) {
  ++webHandlesOpen;
  return reinterpret_cast<HINTERNET>(1);
}
HINTERNET WINAPI WebOpenUrl(HINTERNET, LPCSTR url, LPCSTR, DWORD, DWORD, DWORD_PTR) {
  if (webFinalUrl.empty()) webFinalUrl = url;
  ++webHandlesOpen;
  return reinterpret_cast<HINTERNET>(2);
}
BOOL WINAPI WebQueryInfo(HINTERNET, DWORD, LPVOID buffer, LPDWORD size, LPDWORD) {
  *static_cast<DWORD*>(buffer) = static_cast<DWORD>(webStatus);
  *size = sizeof(DWORD);
  return TRUE;
}
BOOL WINAPI WebQueryOption(HINTERNET, DWORD, LPVOID buffer, LPDWORD length) {
  if (webFinalUrl.size() + 1 > *length) return FALSE;
  std::memcpy(buffer, webFinalUrl.c_str(), webFinalUrl.size() + 1);
  *length = static_cast<DWORD>(webFinalUrl.size());
  return TRUE;
}
BOOL WINAPI WebClose(HINTERNET) {
  --webHandlesOpen;
  return TRUE;
}

class Diagnosis : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    webStatus = 200;
    webFinalUrl.clear();
    webHandlesOpen = 0;
    swaps_.emplace_back(std::make_unique<SysSwap>(&SysApi::InternetOpenA, &WebOpen));
    swaps_.emplace_back(std::make_unique<SysSwap>(&SysApi::InternetOpenUrlA, &WebOpenUrl));
    swaps_.emplace_back(std::make_unique<SysSwap>(&SysApi::HttpQueryInfoA, &WebQueryInfo));
    swaps_.emplace_back(std::make_unique<SysSwap>(&SysApi::InternetQueryOptionA, &WebQueryOption));
    swaps_.emplace_back(std::make_unique<SysSwap>(&SysApi::InternetCloseHandle, &WebClose));
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    swaps_.clear();
  }
  void RunTest() {
    form->btnAuto->Click();
    form->btnStartAutoTest->Click();
    ASSERT_TRUE(RunUntilIdle()) << "the test did not end";
  }
  std::vector<std::unique_ptr<SysSwap>> swaps_;
};

}  // namespace

TEST_F(Diagnosis, AWorkingPathEndsWithItsFindingOverTheLog) {
  Open();
  EXPECT_EQ(form->TestFinding.code, FindingCode::NotTested);
  RunTest();
  for (int stage = 1; stage <= 7; ++stage) EXPECT_TRUE(Marked(stage)) << stage;
  EXPECT_EQ(form->TestFinding.code, FindingCode::AllWorking) << form->TestFinding.info->key;
  EXPECT_EQ(webHandlesOpen, 0) << "a web handle was left open";
  EXPECT_TRUE(form->FindingView->Visible());
  EXPECT_FALSE(form->memOutput->Visible());
  EXPECT_FALSE(form->btnFindingRepair->Visible()) << "nothing to repair";

  // F3 switches to the log and back.
  WORD key = VK_F3;
  form->FormKeyDown(key, 0);
  EXPECT_TRUE(form->memOutput->Visible());
  EXPECT_FALSE(form->FindingView->Visible());
  key = VK_F3;
  form->FormKeyDown(key, 0);
  EXPECT_TRUE(form->FindingView->Visible());

  // The report opens with the diagnosis; the JSON carries the same finding
  // and each target's figures.
  const std::string report = form->ReportText();
  const size_t diagnosis = report.find("\r\nDIAGNOSIS\r\n");
  ASSERT_NE(diagnosis, std::string::npos);
  EXPECT_LT(diagnosis, report.find("ADAPTERS"));
  EXPECT_NE(report.find("Finding code            : all_working"), std::string::npos);
  const std::string json = form->DiagnosisJsonText();
  EXPECT_NE(json.find("\"code\":\"all_working\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"status\":200"), std::string::npos) << json;
  EXPECT_NE(json.find("{\"target\":\"192.168.1.1\",\"sent\":4,\"received\":4,\"loss_percent\":0"), std::string::npos)
      << json;
}

TEST_F(Diagnosis, ARedirectedPageIsFoundWhilePingsPass) {
  webFinalUrl = "http://login.example.test/pay";
  Open();
  RunTest();
  for (int stage = 1; stage <= 7; ++stage) EXPECT_TRUE(Marked(stage)) << stage;
  EXPECT_EQ(form->TestFinding.code, FindingCode::WebRedirected);
  const std::string json = form->DiagnosisJsonText();
  EXPECT_NE(json.find("\"final_host\":\"login.example.test\""), std::string::npos) << json;
}

TEST_F(Diagnosis, NamesThatFailOfferTheFlushAndThenATestAgain) {
  machine.names.clear();  // no public name resolves; addresses still answer
  Open();
  RunTest();
  EXPECT_TRUE(Shown("imgFail05"));
  EXPECT_EQ(form->TestFinding.code, FindingCode::NamesFail) << form->TestFinding.info->key;
  ASSERT_TRUE(form->btnFindingRepair->Visible());
  WORD key = VK_F2;
  form->FormKeyDown(key, 0);
  EXPECT_EQ(form->LastToolCommand.find("ipconfig /flushdns") != std::string::npos, true) << form->LastToolCommand;
  Application.ProcessMessagesUntil([&] { return form->CurrentExecThread == nullptr; }, 30000);
  EXPECT_EQ(form->btnFindingRepair->Caption, "Test again (F2)");
}
