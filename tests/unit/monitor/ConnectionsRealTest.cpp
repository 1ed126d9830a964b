// The connection pages against the platform's own tables, inside the test
// network (tools/testnet exec sets VELNOR_TESTNET=1; elsewhere these skip, and fail when the two disagree).
// The sockets looked for are this test process's own, on 127.0.0.1.
#include <gtest/gtest.h>

#include "support/TestNetwork.h"

#include <cstdlib>
#include <string>

#include "monitor/Connections.h"
#include "netdata/IPHLPAPI.h"
#include "netdata/IPHelper.h"
#include "platform/Sys.h"
#include "text/Lines.h"

namespace {

template <class Fn>
Fn Entry(HMODULE library, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Wine finds the owner of a socket by the Unix descriptors each process
// holds, but keeps a socket's descriptor in its server until the process
// needs one. Asking Wine for a descriptor of the socket (and keeping it)
// lets the tables show this process as the owner, as Windows always does.
// On Windows there is no such entry and nothing needs doing.
void HoldOwnDescriptor(SOCKET s) {
  using HandleToFd = LONG(CDECL*)(HANDLE handle, unsigned int access, int* unixFd, unsigned int* options);
  const auto handleToFd = Entry<HandleToFd>(GetModuleHandleA("ntdll.dll"), "wine_server_handle_to_fd");
  int fd = -1;
  if (handleToFd && s != INVALID_SOCKET) handleToFd(reinterpret_cast<HANDLE>(s), FILE_READ_DATA, &fd, nullptr);
}

// A TCP socket listening and a UDP socket bound, both on 127.0.0.1 at ports
// the system picks. Winsock is bound by hand from the system directory, as
// the program binds its libraries.
class LoopbackSockets {
 public:
  LoopbackSockets() : ws2_(LoadSystemLibrary("ws2_32.dll")) {
    if (!ws2_) return;
    startup_ = Entry<decltype(&::WSAStartup)>(ws2_, "WSAStartup");
    cleanup_ = Entry<decltype(&::WSACleanup)>(ws2_, "WSACleanup");
    socket_ = Entry<decltype(&::socket)>(ws2_, "socket");
    bind_ = Entry<decltype(&::bind)>(ws2_, "bind");
    listen_ = Entry<decltype(&::listen)>(ws2_, "listen");
    name_ = Entry<decltype(&::getsockname)>(ws2_, "getsockname");
    close_ = Entry<decltype(&::closesocket)>(ws2_, "closesocket");
    WSADATA data;
    started_ = startup_(MAKEWORD(2, 2), &data) == 0;
    if (!started_) return;
    tcp_ = Open(SOCK_STREAM, IPPROTO_TCP, tcpPort_);
    if (tcp_ != INVALID_SOCKET && listen_(tcp_, 1) != 0) tcpPort_ = 0;
    udp_ = Open(SOCK_DGRAM, IPPROTO_UDP, udpPort_);
  }
  ~LoopbackSockets() {
    if (tcp_ != INVALID_SOCKET) close_(tcp_);
    if (udp_ != INVALID_SOCKET) close_(udp_);
    if (started_) cleanup_();
    if (ws2_) FreeLibrary(ws2_);
  }
  LoopbackSockets(const LoopbackSockets&) = delete;
  LoopbackSockets& operator=(const LoopbackSockets&) = delete;

  int TcpPort() const { return tcpPort_; }
  int UdpPort() const { return udpPort_; }

 private:
  SOCKET Open(int type, int protocol, int& port) {
    SOCKET s = socket_(AF_INET, type, protocol);
    if (s == INVALID_SOCKET) return s;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = 0x0100007F;  // 127.0.0.1, first octet in the lowest byte
    int length = sizeof(address);
    if (bind_(s, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        name_(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port = ((address.sin_port & 0xFF) << 8) | (address.sin_port >> 8);
    }
    HoldOwnDescriptor(s);
    return s;
  }

  HMODULE ws2_;  // owned
  bool started_ = false;
  decltype(&::WSAStartup) startup_ = nullptr;
  decltype(&::WSACleanup) cleanup_ = nullptr;
  decltype(&::socket) socket_ = nullptr;
  decltype(&::bind) bind_ = nullptr;
  decltype(&::listen) listen_ = nullptr;
  decltype(&::getsockname) name_ = nullptr;
  decltype(&::closesocket) close_ = nullptr;
  SOCKET tcp_ = INVALID_SOCKET;
  SOCKET udp_ = INVALID_SOCKET;
  int tcpPort_ = 0;
  int udpPort_ = 0;
};

std::string Left(const std::string& text, std::size_t width) {
  return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}
std::string Right(const std::string& text, std::size_t width) {
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

std::string OwnPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}
std::string OwnName() {
  const std::string path = OwnPath();
  return path.substr(path.find_last_of("\\:") + 1);
}

// The one line of the page that starts with prefix; empty when there is none.
std::string LineStarting(const StringList& page, const std::string& prefix) {
  for (const std::string& line : page.Items()) {
    if (line.compare(0, prefix.size(), prefix) == 0) return line;
  }
  return {};
}

class ConnectionsRealTest : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_TEST_NETWORK();
    ASSERT_TRUE(BindSystemLibrary(SysLibrary::iphlpapi));
    ASSERT_NE(sockets_.TcpPort(), 0) << "no loopback listener";
    ShowAppPath = false;
  }
  void TearDown() override { ShowAppPath = false; }

  std::string TcpPrefix() const {
    return "127.  0.  0.  1:" + Left(std::to_string(sockets_.TcpPort()), 6) + "|  0.  0.  0.  0:   0  |listening   |" +
           Right(std::to_string(GetCurrentProcessId()), 6) + "|";
  }
  std::string UdpPrefix() const {
    return "127.  0.  0.  1 : " + Left(std::to_string(sockets_.UdpPort()), 7) + "| " +
           Right(std::to_string(GetCurrentProcessId()), 8) + "|";
  }

  LoopbackSockets sockets_;
};

TEST_F(ConnectionsRealTest, OwnSocketsOnThePagesFromTheNewestTables) {
  StringList tcp, udp;
  ListTcpConns(&tcp);
  ListUdpConns(&udp);
  const std::string listener = LineStarting(tcp, TcpPrefix());
  ASSERT_FALSE(listener.empty()) << tcp.Text();
  // Owner-module tables name the program only where the library can look it
  // up; otherwise the older tables and the process list do.
  const bool named = !Sys.GetExtendedTcpTable || Sys.GetOwnerModuleFromTcpEntry;
  NoteBranch("ConnectionsRealTest.OwnSockets",
             !Sys.GetExtendedTcpTable         ? "no owner-module tables: the process list names the program"
             : Sys.GetOwnerModuleFromTcpEntry ? "owner-module tables with the owner lookup: the program is named"
                                              : "owner-module tables without the owner lookup: no name expected");
  EXPECT_EQ(listener.substr(TcpPrefix().size(), 20), Left(named ? OwnName() : "", 20));

  ASSERT_NE(sockets_.UdpPort(), 0);
  EXPECT_FALSE(LineStarting(udp, UdpPrefix()).empty()) << udp.Text();
}

// As on systems before the owner-module tables: process numbers only, the
// program found through the process-status library.
TEST_F(ConnectionsRealTest, OlderTablesFindTheProgramThroughTheProcessList) {
  if (!Sys.AllocateAndGetTcpExTableFromStack) GTEST_SKIP() << "no allocate-and-get table here";
  SysApi older = Sys;
  older.GetExtendedTcpTable = nullptr;
  older.GetExtendedUdpTable = nullptr;
  SysSwap binding(SysLibrary::iphlpapi, older);

  StringList tcp;
  ListTcpConns(&tcp);
  EXPECT_EQ(LineStarting(tcp, TcpPrefix()), TcpPrefix() + Left(OwnName(), 20) + "|" + std::string(20, ' '))
      << tcp.Text();

  ShowAppPath = true;
  ListTcpConns(&tcp);
  EXPECT_EQ(LineStarting(tcp, TcpPrefix()), TcpPrefix() + Left(OwnPath(), 20) + "|" + std::string(20, ' '));

  NoteBranch("ConnectionsRealTest.OlderTables", Sys.AllocateAndGetUdpExTableFromStack
                                                    ? "the older UDP table is there and is checked"
                                                    : "no older UDP table here: its page is not checked");
  if (Sys.AllocateAndGetUdpExTableFromStack) {
    StringList udp;
    ListUdpConns(&udp);
    EXPECT_EQ(LineStarting(udp, UdpPrefix()), UdpPrefix() + Left(OwnPath(), 48) + "|" + std::string(20, ' '))
        << udp.Text();
  }
}

}  // namespace
