#include "workers/PingThread_u.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "platform/Sys.h"
#include "text/Format.h"
#include "toolkit/Application.h"

namespace {

const WORD kEchoDataSize = 32;
const char kEchoFill = 'X';
// Room for one reply record, the echoed data and an ICMP error message.
// The record is larger on 64-bit, so the size follows the platform's.
const DWORD kReplyBufferSize = std::max<DWORD>(129, static_cast<DWORD>(sizeof(ICMP_ECHO_REPLY) + kEchoDataSize + 8));
static_assert(kReplyBufferSize >= sizeof(ICMP_ECHO_REPLY) + kEchoDataSize + 8, "reply buffer too small");

// The worker's own status codes besides the echo service's IP status values.
const DWORD kStatusNoAddress = 0x666;   // the name resolved without an address
const DWORD kStatusNoHost = 0x777;      // the name did not resolve
const DWORD kStatusUnexpected = 0x888;  // something broke inside an attempt

std::string StatusText(DWORD code) {
  switch (code) {
    case 0: return "Unknown Error!";
    case kStatusNoAddress: return "Error getting IP from HostName";
    case kStatusNoHost: return "Error getting HostName";
    case 11001: return "Buffer too small";
    case 11002: return "Destination network unreachable";
    case 11003: return "Destination host unreachable";
    case 11004: return "Destination protocol unreachable";
    case 11005: return "Destination port unreachable";
    case 11006: return "No resources";
    case 11007: return "Bad option";
    case 11008: return "Hardware error";
    case 11009: return "Packet too big";
    case 11010: return "Request timed out";
    case 11011: return "Bad request";
    case 11012: return "Bad route";
    case 11013: return "TTL expired in transit";
    case 11014: return "TTL expired in reassembly";
    case 11015: return "Parameter problem";
    case 11016: return "Source quench";
    case 11017: return "Option too big";
    case 11018: return "Bad Destination";
    case 11019: return "Address deleted";
    case 11020: return "Spec MTU change";
    case 11021: return "MTU change";
    case 11050: return "General failure";
    case 11255: return "Pending";
    default: return FormatLine("ICMP error #%u", code);
  }
}

// Milliseconds from a clock that only moves forward: setting the wall clock
// during a test must neither stretch nor reverse an attempt's time.
unsigned long long NowMs() { return Sys.GetTickCount64(); }

std::vector<std::string> SplitTargets(const std::string& text) {
  std::vector<std::string> pieces;
  size_t from = 0;
  for (;;) {
    const size_t bar = text.find('|', from);
    pieces.push_back(text.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
    if (bar == std::string::npos) return pieces;
    from = bar + 1;
  }
}

class EchoHandle {
 public:
  EchoHandle() : h_(Sys.IcmpCreateFile()) {}
  ~EchoHandle() {
    if (Valid()) Sys.IcmpCloseHandle(h_);
  }
  EchoHandle(const EchoHandle&) = delete;
  EchoHandle& operator=(const EchoHandle&) = delete;
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return h_; }

 private:
  HANDLE h_;
};

// One Winsock start and its clean-up around a single lookup.
class WinsockScope {
 public:
  WinsockScope() {
    WSADATA data;
    Sys.WSAStartup(MAKEWORD(1, 1), &data);
  }
  ~WinsockScope() { Sys.WSACleanup(); }
  WinsockScope(const WinsockScope&) = delete;
  WinsockScope& operator=(const WinsockScope&) = delete;
};

}  // namespace

TPingThread::TPingThread(HWND notifyWindow, const TPingItem* item, int echoCount, int timeoutMs,
                         const TPingLines& lines)
    : Target(item ? item->Target : std::string()),
      EchoCount(echoCount),
      TimeoutMs(timeoutMs),
      NotifyWindow(notifyWindow),
      ItemIndex(item ? item->Index : 0),
      Lines_(lines),
      Results(item ? item->Results : nullptr) {
  SetFreeOnTerminate(true);
  Start();
}

bool TPingThread::StopRequested() const { return Terminated() || Application.Terminated(); }

void TPingThread::Execute() {
  WPARAM verdict = 0;  // also what an error that ends the run reports
  try {
    TPingResult result;
    IsList = Target.find('|') != std::string::npos;
    if (!IsList) {
      result = PingTarget(Target);
    } else {
      // Every target is pinged; the entry is judged on the means, summed
      // wide enough that long averages cannot wrap around.
      TargetList = SplitTargets(Target);
      unsigned long sumPercent = 0, sumAverage = 0;
      for (const std::string& entry : TargetList) {
        const TPingResult r = PingTarget(entry);
        sumPercent += r.Percent;
        sumAverage += r.AverageMs;
      }
      const auto n = static_cast<unsigned long>(TargetList.size());
      result.Percent = static_cast<uint8_t>(sumPercent / n);
      result.AverageMs = static_cast<uint16_t>(sumAverage / n);
      AddOutputLine(FormatLine("Pinging result  = %d%%, Average time = %dms", result.Percent, result.AverageMs));
      AddOutputLine(kWorkerSeparator);
    }
    if (result.Percent < 50 || result.AverageMs > 1500)
      verdict = 0;
    else if (result.Percent < 100)
      verdict = 1;
    else
      verdict = 2;
  } catch (...) {
    verdict = 0;
  }
  PostMessageA(NotifyWindow, WM_PING_FINISHED, verdict, static_cast<LPARAM>(ItemIndex));
}

TPingThread::TPingResult TPingThread::PingTarget(const std::string& target) {
  TPingResult result;
  int attempts = 0, replies = 0, slowestMs = -1;
  long long totalMs = 0;
  std::string lastError;
  bool nameFailed = false;
  // Stop requests are seen only between attempts: one in progress always
  // completes.
  while (!StopRequested() && attempts < EchoCount) {
    ++attempts;
    try {
      const unsigned long long start = NowMs();
      ResolveFailed = false;
      const DWORD n = EchoOnce(target, TimeoutMs);
      if (n > 0) {
        ++replies;
        // The whole attempt is timed: handle, lookup, echo and clean-up.
        const int ms = static_cast<int>(std::min<unsigned long long>(NowMs() - start, INT_MAX));
        // Counted before the line goes out, so a reply whose line could not
        // be shown still weighs in the average.
        totalMs += ms;
        slowestMs = std::max(slowestMs, ms);
        AddOutputLine(FormatLine("Reply from [%s] bytes=%d time=%dms TTL=%d", target, kEchoDataSize, ms, LastTtl));
        if (ms < 500) Sys.Sleep(500);
      } else {
        lastError = StatusText(LastStatus);
        nameFailed = ResolveFailed;
        AddOutputLine("Fail ping[" + target + "]: " + lastError);
        if (ResolveFailed) break;  // a name that does not resolve now will not in a moment
      }
    } catch (const std::exception& e) {
      AddOutputLine(std::string("Error on PingThread: ") + e.what());
      break;
    } catch (...) {
      AddOutputLine("Error on PingThread: unknown error");
      break;
    }
    Sys.Sleep(100);
  }

  if (Results) {
    TPingTargetResult r;
    r.Target = target;
    r.Sent = attempts;
    r.Replies = replies;
    r.AverageMs = replies > 0 ? static_cast<int>(totalMs / replies) : -1;
    r.MaxMs = slowestMs;
    r.NameFailed = nameFailed;
    r.LastError = lastError;
    Results->push_back(r);
  }
  if (attempts >= 1) {
    result.Percent = static_cast<uint8_t>(replies * 100 / attempts);
    // Over the attempts, not the replies: lost echoes pull the average down.
    result.AverageMs = static_cast<uint16_t>(std::min<long long>(totalMs / attempts, 0xFFFF));
    AddEventLine(
        FormatLine("Pinging [%s] Passed by %d%%, Average time: %dms", target, result.Percent, result.AverageMs));
  } else {
    AddEventLine("Pinging [" + target + "] FAIL, (100% loss)!");
  }
  AddOutputLine(kWorkerSeparator);
  return result;
}

DWORD TPingThread::EchoOnce(const std::string& target, int timeoutMs) {
  LastStatus = 0;
  LastTtl = 0;
  try {
    if (!Sys.IcmpCreateFile || !Sys.IcmpSendEcho || !Sys.IcmpCloseHandle)
      throw std::runtime_error("ICMP echo service not available");
    EchoHandle echo;
    if (!echo.Valid()) return 0;  // LastStatus stays 0: "Unknown Error!"

    ULONG address = 0;
    if (!ResolveTarget(target, address)) {
      ResolveFailed = true;
      return 0;
    }

    char request[kEchoDataSize];
    memset(request, kEchoFill, sizeof(request));
    alignas(ICMP_ECHO_REPLY) unsigned char reply[kReplyBufferSize] = {};
    const DWORD replies = Sys.IcmpSendEcho(echo.Get(), address, request, kEchoDataSize, nullptr, reply,
                                           kReplyBufferSize, static_cast<uint16_t>(timeoutMs));
    LastStatus = GetLastError();
    if (replies == 0) return 0;
    // A router that answers with an ICMP error (unreachable, TTL expired,
    // prohibited ...) still gives one record: only a record whose status
    // is success is an echo reply, and only a real reply has a TTL to show.
    const auto* record = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
    if (record->Status != IP_SUCCESS) {
      LastStatus = record->Status;
      return 0;
    }
    LastTtl = record->Options.Ttl;
    return replies;
  } catch (...) {
    LastStatus = kStatusUnexpected;
    return 0;
  }
}

bool TPingThread::ResolveTarget(const std::string& target, ULONG& address) {
  if (!Sys.WSAStartup || !Sys.gethostbyname || !Sys.WSACleanup) throw std::runtime_error("name service not available");
  // The name service answers an empty name with this machine's own
  // addresses, which would always "reply": an empty target names no host.
  if (target.empty()) {
    LastStatus = kStatusNoHost;
    return false;
  }
  WinsockScope winsock;
  const hostent* host = Sys.gethostbyname(target.c_str());
  if (!host) {
    LastStatus = kStatusNoHost;
    return false;
  }
  if (!host->h_addr_list || !host->h_addr_list[0]) {
    LastStatus = kStatusNoAddress;
    return false;
  }
  // Copied before the clean-up releases the host entry.
  memcpy(&address, host->h_addr_list[0], sizeof(address));
  return true;
}
