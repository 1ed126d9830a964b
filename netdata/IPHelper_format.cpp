// Text forms, name tables, report options and the helpers every report of
// the network-data layer shares.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "netdata/IPHelper.h"

bool ShowAppPath = false;
bool UseExtAdapterApi = false;

std::string MacAddrToStr(const BYTE (&address)[8], DWORD length) {
  if (length == 0) return "00-00-00-00-00-00";
  if (length > 8) length = 8;
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (DWORD i = 0; i < length; ++i) {
    if (i > 0) text += '-';
    text += kHex[address[i] >> 4];
    text += kHex[address[i] & 0x0F];
  }
  return text;
}

std::string IpAddrToStr(DWORD address, bool padded) {
  char text[16];
  std::snprintf(text, sizeof(text), padded ? "%3u.%3u.%3u.%3u" : "%u.%u.%u.%u", static_cast<unsigned>(address & 0xFF),
                static_cast<unsigned>((address >> 8) & 0xFF), static_cast<unsigned>((address >> 16) & 0xFF),
                static_cast<unsigned>(address >> 24));
  return text;
}

DWORD PortToHostOrder(DWORD port) { return ((port & 0xFF) << 8) | ((port >> 8) & 0xFF); }

const std::array<TWellKnownPort, 27> WellKnownPorts = {{
    {7, "ECHO"},    {9, "DISCRD"},   {13, "DAYTIM"},  {17, "QOTD"},     {19, "CHARGEN"}, {20, "FTP "},   {21, "FTPC"},
    {23, "TELNET"}, {25, "SMTP"},    {37, "TIME"},    {53, "DNS "},     {67, "BOOTPS"},  {68, "BOOTPC"}, {69, "TFTP"},
    {70, "GOPHER"}, {79, "FING"},    {80, "HTTP"},    {88, "KERB"},     {109, "POP2"},   {110, "POP3"},  {119, "NNTP"},
    {123, "NTP "},  {135, "LOCSVC"}, {137, "NBNAME"}, {138, "NBDGRAM"}, {139, "NBSESS"}, {161, "SNMP"},
}};

std::string PortToServiceName(DWORD port) {
  for (const TWellKnownPort& row : WellKnownPorts) {
    if (row.Port == port) return row.ServiceName;
  }
  return FormatLine("%4u", port);
}

void ReverseBytes(void* buffer, std::size_t count) {
  BYTE* bytes = static_cast<BYTE*>(buffer);
  for (std::size_t i = 0; i < count / 2; ++i) std::swap(bytes[i], bytes[count - 1 - i]);
}

int64_t FileTimeToInt64(const void* place) {
  const BYTE* b = static_cast<const BYTE*>(place);
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | b[i];
  return static_cast<int64_t>(value);
}

double FileTimeToDateTime(const void* place) {
  const double ticksPerDay = 864000000000.0;
  const double daysFrom1601To1899 = 109205.0;
  return static_cast<double>(FileTimeToInt64(place)) / ticksPerDay - daysFrom1601To1899;
}

namespace {

const char* const kArpEntryTypeNames[] = {"", "Other", "Invalid", "Dynamic", "Static"};
const char* const kTcpStateNames[] = {"",          "closed",    "listening",  "syn_sent", "syn_rcvd", "established",
                                      "fin_wait1", "fin_wait2", "close_wait", "closing",  "last_ack", "time_wait",
                                      "delete_tcb"};
const char* const kTcpRtoAlgorithmNames[] = {"", "Other", "Const.Timeout", "MIL-STD-1778", "Van Jacobson"};
const char* const kRouteTypeNames[] = {"", "other", "invalid", "local", "remote"};
const char* const kRouteProtocolNames[] = {"",     "OTHER", "LOCAL",     "NETMGMT", "ICMP",   "EGP", "GGP",
                                           "HELO", "RIP",   "IS_IS",     "ES_IS",   "CISCO",  "BBN", "OSPF",
                                           "BGP",  "BOOTP", "AUTO_STAT", "STATIC",  "NOT_DOD"};

}  // namespace

const TNameTable ArpEntryTypeNames(kArpEntryTypeNames, 0);
const TNameTable TcpStateNames(kTcpStateNames, 0);
const TNameTable TcpRtoAlgorithmNames(kTcpRtoAlgorithmNames, 0);
const TNameTable RouteTypeNames(kRouteTypeNames, 0);
const TNameTable RouteProtocolNames(kRouteProtocolNames, 0);

namespace {
struct LocalMemoryFree {
  void operator()(char* p) const { LocalFree(p); }
};
}  // namespace

std::string SysErrorMessage(DWORD code) {
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::unique_ptr<char, LocalMemoryFree> owned(text);
  std::string message(text ? text : "", text ? length : 0);
  // One line: inner breaks become blanks, trailing ones go.
  for (char& c : message) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  while (!message.empty() && message.back() == ' ') message.pop_back();
  if (message.empty()) message = "System error " + std::to_string(code);
  return message;
}

uint64_t FormatArg::bits() const {
  const uint64_t value = static_cast<uint64_t>(value_);
  return bytes_ >= 8 ? value : value & ((uint64_t{1} << (8 * bytes_)) - 1);
}

std::string FormatLineV(const char* format, std::initializer_list<FormatArg> args) {
  std::string out;
  const FormatArg* arg = args.begin();
  const char* p = format;
  while (*p) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    ++p;
    if (*p == '%') {
      out += *p++;
      continue;
    }
    bool left = false;
    bool zeros = false;
    for (; *p == '-' || *p == '0'; ++p) (*p == '-' ? left : zeros) = true;
    std::size_t width = 0;
    for (; *p >= '0' && *p <= '9'; ++p) width = width * 10 + static_cast<std::size_t>(*p - '0');
    bool hasPrecision = false;
    std::size_t precision = 0;
    if (*p == '.') {
      hasPrecision = true;
      for (++p; *p >= '0' && *p <= '9'; ++p) precision = precision * 10 + static_cast<std::size_t>(*p - '0');
    }
    while (*p == 'l' || *p == 'h') ++p;
    const char conversion = *p;
    if (conversion == '\0') break;
    ++p;
    if (arg == args.end()) continue;  // a missing argument prints nothing
    const FormatArg& a = *arg++;

    std::string sign;
    std::string body;
    bool numeric = a.kind() != FormatArg::Kind::Text;
    if (a.kind() == FormatArg::Kind::Float) {
      const double v = a.real();
      if (v < 0) sign = "-";
      char buf[64];
      snprintf(buf, sizeof(buf), "%.*f", static_cast<int>(hasPrecision ? precision : 6), v < 0 ? -v : v);
      body = buf;
      char separator[8] = {};
      if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof(separator)) > 0) {
        const std::size_t dot = body.find('.');
        if (dot != std::string::npos) body.replace(dot, 1, separator);
      }
      hasPrecision = false;  // the digits are already there
    } else if (!numeric || conversion == 's') {
      body = numeric ? std::to_string(a.value()) : a.text();
      if (conversion == 's' && hasPrecision && body.size() > precision) body.resize(precision);
      numeric = false;
    } else if (conversion == 'x' || conversion == 'X') {
      static const char kHex[] = "0123456789ABCDEF";
      uint64_t v = a.bits();
      do {
        body.insert(body.begin(), kHex[v & 0xF]);
        v >>= 4;
      } while (v);
    } else if (conversion == 'u') {
      body = std::to_string(a.bits());
    } else {  // d, i and anything else numeric
      if (a.kind() == FormatArg::Kind::Signed && a.value() < 0) {
        sign = "-";
        body = std::to_string(0 - static_cast<uint64_t>(a.value()));
      } else {
        body = a.kind() == FormatArg::Kind::Signed ? std::to_string(a.value()) : std::to_string(a.bits());
      }
    }
    if (numeric && hasPrecision && body.size() < precision) body.insert(0, precision - body.size(), '0');
    std::string field = sign + body;
    if (field.size() < width) {
      const std::size_t pad = width - field.size();
      if (left) {
        field.append(pad, ' ');
      } else if (zeros && numeric && !hasPrecision) {
        field.insert(sign.size(), pad, '0');
      } else {
        field.insert(0, pad, ' ');
      }
    }
    out += field;
  }
  return out;
}

namespace {
std::atomic<int> liveBuffers{0};
std::atomic<int> madeBuffers{0};
}  // namespace

TTableBuffer::TTableBuffer(std::size_t size) : data_(new BYTE[size > 0 ? size : 1]()), size_(size) {
  ++liveBuffers;
  ++madeBuffers;
}

TTableBuffer::~TTableBuffer() { --liveBuffers; }

bool TTableBuffer::Holds(const void* p, std::size_t bytes) const {
  const auto start = reinterpret_cast<std::uintptr_t>(data_.get());
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  return p && at >= start && at - start <= size_ && bytes <= size_ - (at - start);
}

int TTableBuffer::Live() { return liveBuffers; }
int TTableBuffer::Made() { return madeBuffers; }

std::string WideToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  const int wide = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), wide, &out[0], n, nullptr, nullptr);
  return out;
}
