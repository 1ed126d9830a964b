// Program entry: one copy per logon, then the main window and the hidden
// monitor window.
#include <windows.h>

#include "main/Main_u.h"
#include "monitor/uTCPIP.h"
#include "platform/Locale.h"
#include "platform/Sys.h"
#include "toolkit/Application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The wide command line: a report path in any characters arrives whole.
  const TfrmMain::TTestRun testRun = ParseTestRun(ArgumentsOf(GetCommandLineW()));
  // Before anything else is loaded or called: the DLL search restricted,
  // then every system call the program makes at start bound; report lines
  // take the user's decimal separator.
  BindSystemCalls();
  UseUserLocaleInText();

  if (!testRun.error.empty()) {
    // A script must learn its mistake, never find the normal window.
    const std::string text = testRun.error + "\r\n\r\n" + UsageText();
    if (!WriteToParentConsole(text))
      MessageBoxA(nullptr, text.c_str(), "Velnor Network Agent", MB_OK | MB_ICONERROR);
    return 3;
  }
  // A script's test waits for nobody: no box, whatever happens.
  Application.Unattended = testRun.active || testRun.watch;

  HANDLE mutex = Sys.CreateMutexA(nullptr, TRUE, "VelnorAgent");
  if (!mutex || GetLastError() != 0) {
    const char text[] = "Can`t run multiple instances of VelnorAgent!";
    // A script that asked for a test learns at once that none could start.
    if (testRun.active || testRun.watch) {
      WriteToParentConsole(text);
      return 3;
    }
    MessageBoxA(nullptr, text, "Velnor Network Agent", MB_OK | MB_ICONERROR);
    return 0;
  }
  // The mutex is never released explicitly: it goes with the process.

  Application.Initialize();
  Application.SetTitle("Velnor\xA9 Network Agent");
  Application.CreateAppWindow();
  frmMain = new TfrmMain();
  frmMain->ShowForm();
  // The hidden monitor is made once the window the user waits for is on the
  // screen; it gets the adapter table the first refresh recorded.
  RedrawWindow(frmMain->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  frmTCPIPMonitor = new TfrmTCPIPMonitor();
  frmMain->ShowSelectedAdapters();
  if (testRun.active) frmMain->StartTestRun(testRun);
  if (testRun.watch) frmMain->StartWatchRun(testRun);
  Application.Run();
  // A ping worker may still be inside an echo or a lookup, and libraries it
  // uses must not be released under it: the process ends here, its threads
  // first, without running the clean-up of static objects. Windows, handles
  // and the command job go with the process.
  ExitProcess(static_cast<UINT>(Application.ExitCode));
}
