// Report options, table buffers and the helpers every report of the
// network-data layer shares.
#include <atomic>

#include "netdata/IPHelper.h"
#include "text/Format.h"

bool ShowAppPath = false;
bool UseExtAdapterApi = false;

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
  if (message.empty()) message = FormatLine("System error %u", code);
  return message;
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

