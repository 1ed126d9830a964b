#include "FakeWorld.h"

#include <cstring>

std::vector<FakeAdapter> FakeWorld::adapters;
std::map<std::string, std::string> FakeWorld::names;
std::map<std::string, Answer> FakeWorld::answers;
std::map<std::string, int> FakeWorld::echoCounts;
INT_PTR FakeWorld::shellResult;
std::vector<std::string> FakeWorld::opened;
int FakeWorld::network;
BOOL FakeWorld::online;
HANDLE FakeWorld::echoGate;

namespace {

const HANDLE kEcho = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0xEC40));

std::string Dotted(IPAddr a) {
  const auto* b = reinterpret_cast<const BYTE*>(&a);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

HANDLE WINAPI FakeIcmpCreateFile() { return kEcho; }
BOOL WINAPI FakeIcmpCloseHandle(HANDLE) { return TRUE; }
int WSAAPI FakeWSAStartup(WORD, LPWSADATA data) {
  std::memset(data, 0, sizeof(*data));
  return 0;
}
int WSAAPI FakeWSACleanup() { return 0; }

hostent* WSAAPI FakeGethostbyname(const char* name) {
  static hostent entry;
  static char* list[2];
  static IPAddr address;
  std::string dotted = name ? name : "";
  auto it = FakeWorld::names.find(dotted);
  if (it != FakeWorld::names.end()) dotted = it->second;
  unsigned b0, b1, b2, b3;
  char tail;
  if (std::sscanf(dotted.c_str(), "%u.%u.%u.%u%c", &b0, &b1, &b2, &b3, &tail) != 4) return nullptr;
  address = b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
  list[0] = reinterpret_cast<char*>(&address);
  list[1] = nullptr;
  entry.h_addrtype = AF_INET;
  entry.h_length = 4;
  entry.h_addr_list = list;
  return &entry;
}

DWORD WINAPI FakeIcmpSendEcho(HANDLE, IPAddr to, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID reply, DWORD replySize, DWORD) {
  if (FakeWorld::echoGate) WaitForSingleObject(FakeWorld::echoGate, 30000);
  const std::string dotted = Dotted(to);
  const int n = ++FakeWorld::echoCounts[dotted];
  auto it = FakeWorld::answers.find(dotted);
  const Answer answer = it == FakeWorld::answers.end() ? Answer::Up : it->second;
  const bool replies = answer == Answer::Up || answer == Answer::Unreachable || (answer == Answer::Half && n % 2 == 1);
  if (!replies) {
    SetLastError(IP_REQ_TIMED_OUT);
    return 0;
  }
  std::memset(reply, 0, replySize);
  auto* r = static_cast<ICMP_ECHO_REPLY*>(reply);
  r->Address = to;
  r->Status = answer == Answer::Unreachable ? IP_DEST_HOST_UNREACHABLE : IP_SUCCESS;
  r->Options.Ttl = 64;
  SetLastError(IP_SUCCESS);
  return 1;
}

void WINAPI FakeSleep(DWORD) {}

HINSTANCE WINAPI FakeShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
  FakeWorld::opened.push_back(std::string(verb ? verb : "") + " " + (file ? file : ""));
  return reinterpret_cast<HINSTANCE>(FakeWorld::shellResult);
}

int WINAPI FakeGetSystemMetrics(int index) { return index == SM_NETWORK ? FakeWorld::network : ::GetSystemMetrics(index); }

BOOL WINAPI FakeInternetGetConnectedState(LPDWORD flags, DWORD) {
  if (flags) *flags = 0;
  return FakeWorld::online;
}

template <class Fn>
std::shared_ptr<void> Swap(Fn SysApi::*member, Fn fake) {
  return std::make_shared<SysSwap>(member, fake);
}

}  // namespace

void FakeWorld::Reset() {
  adapters = {FakeAdapter{}};
  names = {{"web1.velnor.test", "10.77.1.10"}, {"web2.velnor.test", "10.77.1.11"}, {"search.velnor.test", "10.77.1.12"}};
  answers.clear();
  echoCounts.clear();
  shellResult = 42;
  opened.clear();
  network = 1;
  online = TRUE;
  echoGate = nullptr;
}

void FakeWorld::Install() {
  fakes = IpHelperFakes{};
  const std::vector<FakeAdapter> list = adapters;
  fakes.ifTable.build = [list](Arena& a) {
    std::vector<MIB_IFROW> rows;
    for (const FakeAdapter& f : list) {
      MIB_IFROW row = IfRow(f.index, f.type, f.mac, f.description.c_str());
      row.dwOperStatus = f.operStatus;
      rows.push_back(row);
    }
    BuildIfTable(a, rows);
  };
  fakes.ipAddrTable.build = [list](Arena& a) {
    std::vector<MIB_IPADDRROW> rows;
    for (const FakeAdapter& f : list)
      if (!f.address.empty()) rows.push_back(AddrRow(f.index, f.address.c_str(), f.mask.empty() ? "0.0.0.0" : f.mask.c_str()));
    BuildIpAddrTable(a, rows);
  };
  fakes.adaptersInfo.build = [list](Arena& a) {
    std::vector<ClassicAdapter> classic;
    for (const FakeAdapter& f : list) {
      ClassicAdapter c;
      c.description = f.description;
      c.mac = f.mac;
      c.index = f.index;
      c.type = f.type;
      c.addresses = {{f.address.empty() ? "0.0.0.0" : f.address, f.mask.empty() ? "0.0.0.0" : f.mask}};
      c.gateways = {f.gateway};
      classic.push_back(c);
    }
    BuildAdaptersInfo(a, classic);
  };
  fakes.perAdapter = [list](ULONG index, Arena& a) -> DWORD {
    for (const FakeAdapter& f : list)
      if (f.index == index) BuildPerAdapterInfo(a, 0, {f.dns});
    return NO_ERROR;
  };
  fakes.networkParams.build = [](Arena& a) { BuildFixedInfo(a, "testhost", "velnor.test", 8, 0, 0, 0, {"192.168.1.53"}); };
}

void FakeWorldTest::SetUp() {
  Application.OnException = [](const std::string& message) { ADD_FAILURE() << "error report: " << message; };
  FakeWorld::Reset();
  UseExtAdapterApi = false;
  registry_ = std::make_unique<fakeregistry::ScopedFakeRegistry>();
  commands_ = std::make_unique<fakecommands::ScopedFakeCommands>();
  binding_ = std::make_unique<SysSwap>(SysLibrary::iphlpapi, FakeSlots());
  swaps_ = {
      Swap(&SysApi::GetIfTable, &FakeGetIfTable),
      Swap(&SysApi::GetIpAddrTable, &FakeGetIpAddrTable),
      Swap(&SysApi::IcmpCreateFile, &FakeIcmpCreateFile),
      Swap(&SysApi::IcmpSendEcho, &FakeIcmpSendEcho),
      Swap(&SysApi::IcmpCloseHandle, &FakeIcmpCloseHandle),
      Swap(&SysApi::WSAStartup, &FakeWSAStartup),
      Swap(&SysApi::WSACleanup, &FakeWSACleanup),
      Swap(&SysApi::gethostbyname, &FakeGethostbyname),
      Swap(&SysApi::Sleep, &FakeSleep),
      Swap(&SysApi::ShellExecuteA, &FakeShellExecuteA),
      Swap(&SysApi::GetSystemMetrics, &FakeGetSystemMetrics),
      Swap(&SysApi::InternetGetConnectedState, &FakeInternetGetConnectedState),
  };
}

void FakeWorldTest::TearDown() {
  // A monitor refresh reads the fakes on its worker until it is done.
  if (frmTCPIPMonitor) {
    EXPECT_TRUE(frmTCPIPMonitor->WaitForRefresh(30000));
  }
  if (form) {
    RunUntilIdle(5000);
    delete form;
    frmMain = form = nullptr;
  }
  swaps_.clear();
  commands_.reset();
  registry_.reset();
  binding_.reset();
  Application.OnException = nullptr;
}

void FakeWorldTest::Open() {
  FakeWorld::Install();
  frmMain = form = new TfrmMain();
  if (!frmTCPIPMonitor) frmTCPIPMonitor = new TfrmTCPIPMonitor();
  form->ShowForm();
  Application.ProcessMessages();
}

bool FakeWorldTest::RunUntilIdle(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    Application.ProcessMessages();
    MSG m;
    const bool pending = PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
    if (!pending && form->btnStartAutoTest->Enabled() && form->PingQueue.empty() && form->imgRefresh->Tag != 2) {
      // A worker may still be about to post its message: look once more.
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      if (!PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)) return true;
    }
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

std::vector<std::string> FakeWorldTest::Events() const { return LinesOf(form->lstEvents->GetLines()); }
std::vector<std::string> FakeWorldTest::Output() const { return LinesOf(form->memOutput->GetLines()); }

bool FakeWorldTest::Marked(int stage) const {
  return form->Find<Picture>("Image" + std::to_string(stage))->GetPicture() == form->imgSuccess->GetPicture() &&
         form->imgSuccess->HasPicture();
}

bool FakeWorldTest::Shown(const std::string& name) const { return form->Find<Control>(name)->Visible(); }
