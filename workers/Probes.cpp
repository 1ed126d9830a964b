#include "workers/Probes.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/Sys.h"

namespace {

unsigned long long NowMs() { return Sys.GetTickCount64(); }

int ElapsedMs(unsigned long long start) {
  const unsigned long long ms = NowMs() - start;
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

bool SocketsAvailable() {
  return Sys.WSAStartup && Sys.WSACleanup && Sys.socket && Sys.closesocket && Sys.select && Sys.sendto &&
         Sys.recvfrom && Sys.connect && Sys.ioctlsocket && Sys.gethostbyname;
}

// One Winsock start, one socket, both released on every path.
class ProbeSocket {
 public:
  explicit ProbeSocket(int type) {
    WSADATA data;
    started_ = Sys.WSAStartup(MAKEWORD(1, 1), &data) == 0;
    if (started_) s_ = Sys.socket(AF_INET, type, type == SOCK_DGRAM ? IPPROTO_UDP : IPPROTO_TCP);
  }
  ~ProbeSocket() {
    if (s_ != INVALID_SOCKET) Sys.closesocket(s_);
    if (started_) Sys.WSACleanup();
  }
  ProbeSocket(const ProbeSocket&) = delete;
  ProbeSocket& operator=(const ProbeSocket&) = delete;
  bool Valid() const { return s_ != INVALID_SOCKET; }
  SOCKET Get() const { return s_; }

 private:
  bool started_ = false;
  SOCKET s_ = INVALID_SOCKET;
};

// Waits until s is readable (or writable), at most ms. fd_set is filled by
// hand: the platform's macros would call into a library bound at load time.
int WaitSocket(SOCKET s, bool forWrite, int ms, bool* failed = nullptr) {
  fd_set ready{}, broken{};
  ready.fd_count = 1;
  ready.fd_array[0] = s;
  broken.fd_count = 1;
  broken.fd_array[0] = s;
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  const int n = Sys.select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &broken, &tv);
  if (failed) *failed = n > 0 && broken.fd_count > 0;
  return n > 0 ? static_cast<int>(ready.fd_count) : n;
}

bool ParseIPv4(const std::string& text, ULONG& address) {
  unsigned parts[4];
  char tail = 0;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4) return false;
  unsigned char bytes[4];
  for (int i = 0; i < 4; ++i) {
    if (parts[i] > 255) return false;
    bytes[i] = static_cast<unsigned char>(parts[i]);
  }
  std::memcpy(&address, bytes, 4);
  return true;
}

u_short NetworkPort(unsigned port) { return static_cast<u_short>(((port & 0xFF) << 8) | ((port >> 8) & 0xFF)); }

// The question "address of name?", as a name server reads it.
std::vector<unsigned char> NameQuery(const std::string& name, unsigned short id) {
  std::vector<unsigned char> q = {static_cast<unsigned char>(id >> 8),
                                  static_cast<unsigned char>(id & 0xFF),
                                  0x01,
                                  0x00,  // a standard query, recursion wanted
                                  0,
                                  1,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0};
  size_t from = 0;
  while (from <= name.size()) {
    size_t dot = name.find('.', from);
    if (dot == std::string::npos) dot = name.size();
    const size_t length = std::min<size_t>(dot - from, 63);
    if (length > 0) {
      q.push_back(static_cast<unsigned char>(length));
      q.insert(q.end(), name.begin() + from, name.begin() + from + length);
    }
    from = dot + 1;
  }
  q.insert(q.end(), {0, 0, 1, 0, 1});  // end of name, type A, class IN
  return q;
}

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET h) : h_(h) {}
  ~InternetHandle() {
    if (h_) Sys.InternetCloseHandle(h_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET Get() const { return h_; }

 private:
  HINTERNET h_;
};

std::string WebErrorText(DWORD code) {
  switch (code) {
    case ERROR_INTERNET_TIMEOUT: return "no answer in time";
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return "the site's name was not found";
    case ERROR_INTERNET_CANNOT_CONNECT: return "no connection could be made";
    case ERROR_INTERNET_CONNECTION_ABORTED: return "the connection was broken off";
    case ERROR_INTERNET_CONNECTION_RESET: return "the connection was reset";
    case ERROR_INTERNET_INVALID_URL: return "the address is not valid";
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA: return "the site's certificate is not valid";
    default: return "error " + std::to_string(code);
  }
}

}  // namespace

bool NameServerAnswers(const std::string& server, const std::string& name, int timeoutMs, int& ms) {
  ms = -1;
  ULONG address = 0;
  if (!SocketsAvailable() || !ParseIPv4(server, address)) return false;
  ProbeSocket s(SOCK_DGRAM);
  if (!s.Valid()) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = NetworkPort(53);
  to.sin_addr.s_addr = address;
  const unsigned short id = static_cast<unsigned short>(NowMs() * 7919u);
  const std::vector<unsigned char> query = NameQuery(name, id);
  const unsigned long long start = NowMs();
  if (Sys.sendto(s.Get(), reinterpret_cast<const char*>(query.data()), static_cast<int>(query.size()), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof(to)) == SOCKET_ERROR)
    return false;
  // Anything else arriving on the socket is skipped, within the same time.
  for (;;) {
    const int left = timeoutMs - ElapsedMs(start);
    if (left <= 0 || WaitSocket(s.Get(), false, left) <= 0) return false;
    unsigned char reply[512];
    sockaddr_in from{};
    int fromLength = sizeof(from);
    const int n = Sys.recvfrom(s.Get(), reinterpret_cast<char*>(reply), sizeof(reply), 0,
                               reinterpret_cast<sockaddr*>(&from), &fromLength);
    // A refused port (an error report from the host) ends it: nobody listens.
    if (n == SOCKET_ERROR) return false;
    if (n >= 12 && reply[0] == query[0] && reply[1] == query[1] && (reply[2] & 0x80) &&
        from.sin_addr.s_addr == address) {
      ms = ElapsedMs(start);
      return true;
    }
  }
}

bool ProxyTakesConnections(const std::string& setting, int timeoutMs) {
  if (!SocketsAvailable()) return false;
  // "http=host:port;https=host:port" names one per scheme; a plain
  // "host:port" serves every scheme.
  std::string entry = setting;
  const size_t http = setting.find("http=");
  if (http != std::string::npos) entry = setting.substr(http + 5);
  entry = entry.substr(0, entry.find(';'));
  const size_t eq = entry.find('=');
  if (eq != std::string::npos) entry = entry.substr(eq + 1);
  const size_t scheme = entry.find("://");
  if (scheme != std::string::npos) entry = entry.substr(scheme + 3);
  const size_t colon = entry.rfind(':');
  const std::string host = entry.substr(0, colon);
  const unsigned port = colon == std::string::npos ? 80 : static_cast<unsigned>(std::atoi(entry.c_str() + colon + 1));
  if (host.empty() || port == 0 || port > 65535) return false;

  ProbeSocket s(SOCK_STREAM);
  if (!s.Valid()) return false;
  ULONG address = 0;
  if (!ParseIPv4(host, address)) {
    const hostent* found = Sys.gethostbyname(host.c_str());
    if (!found || !found->h_addr_list || !found->h_addr_list[0]) return false;
    std::memcpy(&address, found->h_addr_list[0], sizeof(address));
  }
  u_long nonBlocking = 1;
  Sys.ioctlsocket(s.Get(), FIONBIO, &nonBlocking);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = NetworkPort(port);
  to.sin_addr.s_addr = address;
  if (Sys.connect(s.Get(), reinterpret_cast<const sockaddr*>(&to), sizeof(to)) == 0) return true;
  if (Sys.WSAGetLastError() != WSAEWOULDBLOCK) return false;
  bool failed = false;
  return WaitSocket(s.Get(), true, timeoutMs, &failed) > 0 && !failed;
}

std::string UrlHost(const std::string& url) {
  size_t from = url.find("://");
  from = from == std::string::npos ? 0 : from + 3;
  const size_t end = url.find_first_of("/?#", from);
  std::string host = url.substr(from, end == std::string::npos ? std::string::npos : end - from);
  const size_t at = host.rfind('@');
  if (at != std::string::npos) host = host.substr(at + 1);
  const size_t colon = host.find(':');
  if (colon != std::string::npos) host = host.substr(0, colon);
  for (char& c : host)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return host;
}

TWebProbe ProbeWebPage(const std::string& url, int timeoutMs) {
  TWebProbe result;
  if (!Sys.InternetOpenA || !Sys.InternetOpenUrlA || !Sys.HttpQueryInfoA || !Sys.InternetQueryOptionA ||
      !Sys.InternetCloseHandle || !Sys.InternetSetOptionA) {
    result.error = "the web library is not available";
    return result;
  }
  const unsigned long long start = NowMs();
  InternetHandle session(Sys.InternetOpenA("VelnorAgent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session.Get()) {
    result.error = WebErrorText(GetLastError());
    return result;
  }
  DWORD ms = static_cast<DWORD>(timeoutMs);
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    Sys.InternetSetOptionA(session.Get(), option, &ms, sizeof(ms));
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                      INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
  InternetHandle page(Sys.InternetOpenUrlA(session.Get(), url.c_str(), nullptr, 0, flags, 0));
  result.timeMs = ElapsedMs(start);
  if (!page.Get()) {
    const DWORD code = GetLastError();
    result.timedOut = code == ERROR_INTERNET_TIMEOUT;
    result.connectFailed = code == ERROR_INTERNET_CANNOT_CONNECT;
    result.error = WebErrorText(code);
    return result;
  }
  DWORD status = 0, size = sizeof(status);
  if (Sys.HttpQueryInfoA(page.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    result.status = static_cast<int>(status);
  else
    result.status = 200;  // a page that is not HTTP (no status line) came all the same
  char final[2048] = {};
  DWORD length = sizeof(final) - 1;
  result.finalUrl = Sys.InternetQueryOptionA(page.Get(), INTERNET_OPTION_URL, final, &length)
                        ? std::string(final, strnlen(final, sizeof(final)))
                        : url;
  return result;
}

namespace {
std::atomic<int> probesRunning{0};
}  // namespace

int TProbeThread::Running() { return probesRunning.load(); }

TProbeThread::TProbeThread(HWND notifyWindow, UINT message, WPARAM token, std::function<void()> job)
    : NotifyWindow(notifyWindow), Message(message), Token(token), Job(std::move(job)) {
  SetFreeOnTerminate(true);
}

void TProbeThread::Run(HWND notifyWindow, UINT message, WPARAM token, std::function<void()> job) {
  // Started once it is whole: a start that fails unwinds no half-made object.
  auto* thread = new TProbeThread(notifyWindow, message, token, std::move(job));
  ++probesRunning;
  try {
    thread->Start();
  } catch (...) {
    --probesRunning;
    delete thread;
    throw;
  }
}

void TProbeThread::Execute() {
  try {
    Job();
  } catch (...) {
    // The job's results stay as they were: unknown.
  }
  PostMessageA(NotifyWindow, Message, Token, 0);
  --probesRunning;
}

TEchoProbe EchoOnce(const std::string& address, int timeoutMs) {
  TEchoProbe probe;
  ULONG to = 0;
  if (!ParseIPv4(address, to)) {
    probe.status = ERROR_INVALID_PARAMETER;
    return probe;
  }
  if (!Sys.IcmpCreateFile || !Sys.IcmpSendEcho || !Sys.IcmpCloseHandle) {
    probe.status = ERROR_PROC_NOT_FOUND;
    return probe;
  }
  HANDLE echo = Sys.IcmpCreateFile();
  if (echo == INVALID_HANDLE_VALUE) {
    probe.status = GetLastError();
    return probe;
  }
  char request[32];
  memset(request, 'E', sizeof(request));
  // Room for one reply record, its data and an error answer's quoted packet.
  alignas(ICMP_ECHO_REPLY) unsigned char reply[sizeof(ICMP_ECHO_REPLY) + sizeof(request) + 8 + 64] = {};
  const DWORD replies = Sys.IcmpSendEcho(echo, to, request, sizeof(request), nullptr, reply, sizeof(reply),
                                         static_cast<DWORD>(timeoutMs));
  probe.status = replies == 0 ? GetLastError() : reinterpret_cast<const ICMP_ECHO_REPLY*>(reply)->Status;
  if (replies > 0 && probe.status == IP_SUCCESS)
    probe.ms = static_cast<int>(reinterpret_cast<const ICMP_ECHO_REPLY*>(reply)->RoundTripTime);
  Sys.IcmpCloseHandle(echo);
  return probe;
}
