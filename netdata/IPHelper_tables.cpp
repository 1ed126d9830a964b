// The one way every reader fetches a platform table: sized from the last
// read, read again when it grew.
#include <algorithm>

#include "netdata/IPHelper.h"
#include "platform/Sys.h"

namespace {

// Sizes learnt under another binding (or before a test's fakes) belong to
// other tables; a new generation makes every size unknown at once. A library
// bound or swapped as a whole starts one too.
std::atomic<uint32_t> sizeGeneration{1};

uint32_t Generation() { return sizeGeneration.load(std::memory_order_relaxed) + SysBindingGeneration(); }

// Sized calls per read. Each try is made at the size the system asked for
// the moment before, so only a table that grows by more than the headroom
// between every two calls runs out of them.
constexpr int kReadTries = 4;

// Room for the rows a busy table gains between two calls.
ULONG WithHeadroom(ULONG size) { return size + size / 4 + 1024; }

}  // namespace

ULONG TTableSize::Get() const {
  const uint64_t value = value_.load(std::memory_order_relaxed);
  return static_cast<uint32_t>(value >> 32) == Generation() ? static_cast<ULONG>(value & 0xFFFFFFFFu) : first_;
}

void TTableSize::Set(ULONG size) { value_.store(uint64_t{Generation()} << 32 | size, std::memory_order_relaxed); }

void ForgetTableSizes() { ++sizeGeneration; }

TTableRead ReadTable(TTableSize& known, DWORD growCode, const TTableQuery& query, bool (*goesOn)(DWORD)) {
  TTableRead read;
  ULONG needed = known.Get();
  bool sizeKnown = needed > 0;
  bool asked = false;  // this read has made the size query
  for (int tries = 0; tries < kReadTries;) {
    if (!sizeKnown) {
      ULONG size = 0;
      const DWORD answer = query(nullptr, &size);
      asked = sizeKnown = true;
      if (goesOn ? !goesOn(answer) : answer != growCode) {
        read.result = answer;
        read.fromSizeQuery = true;
        return read;
      }
      needed = size;
    }
    auto buffer = std::make_unique<TTableBuffer>(WithHeadroom(needed));
    ULONG size = static_cast<ULONG>(buffer->Size());
    const DWORD answer = query(buffer->Data(), &size);
    ++tries;
    if (answer == NO_ERROR) {
      // A size the system reports smaller than the buffer is what the table
      // needs now, so a table that shrank gets a smaller buffer next time.
      known.Set(size > 0 && size < buffer->Size() ? size : needed);
      read.result = NO_ERROR;
      read.buffer = std::move(buffer);
      return read;
    }
    if (answer == growCode) {
      // The table grew since the size was learnt; a system that does not say
      // by how much still gets a larger buffer.
      needed = std::max<ULONG>(size, static_cast<ULONG>(buffer->Size()) + 1);
      known.Set(needed);
      continue;
    }
    read.result = answer;
    if (asked) return read;
    // Refused at a size from an earlier read: the table may be gone or
    // empty, which the size query tells in its own way.
    sizeKnown = false;
  }
  read.result = growCode;
  return read;
}
