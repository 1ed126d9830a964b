// Program entry: one copy per logon, then the main window and the hidden
// monitor window.
#include <windows.h>

#include "main/Main_u.h"
#include "monitor/uTCPIP.h"
#include "netdata/IPHLPAPI.h"
#include "platform/Sys.h"
#include "toolkit/Application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything is loaded by name (Sys binds the rest of its table the
  // same way when the program starts).
  RestrictDllSearch();

  HANDLE mutex = Sys.CreateMutexA(nullptr, TRUE, "VelnorAgent");
  if (!mutex || GetLastError() != 0) {
    MessageBoxA(nullptr, "Can`t run multiple instances of VelnorAgent!", "Velnor Network Agent", MB_OK | MB_ICONERROR);
    return 0;
  }
  // The mutex is never released explicitly: it goes with the process.

  Application.Initialize();
  Application.SetTitle("Velnor\xA9 Network Agent");
  Application.CreateAppWindow();
  frmMain = new TfrmMain();
  frmTCPIPMonitor = new TfrmTCPIPMonitor();
  frmMain->ShowForm();
  Application.Run();
  // Windows go with the process; a ping worker may still be running and
  // must not find its window destroyed under it. A monitor refresh may
  // still be reading a table: the library then goes with the process too.
  if (!frmTCPIPMonitor->Refreshing()) FreeIpHelper();
  return 0;
}
