// Helpers shared by the readers of IPHelper_*.cpp; not part of the module's
// interface.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "netdata/IPHelper.h"

// The text of a fixed-size character field up to its first NUL (the field
// need not hold one).
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  std::size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string(field, n);
}

// The same with leading and trailing control characters and blanks removed.
template <std::size_t N>
std::string TrimmedFieldText(const char (&field)[N]) {
  std::string text = FieldText(field);
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return first < last ? std::string(first, last) : std::string();
}

// Calls visit(entry) for each entry of a chain linked by Next, while it
// returns true. An entry outside the table's buffer ends the chain, and so
// does a chain longer than the buffer could hold (a loop).
template <class Entry, class Visit>
void ForEachInChain(const TTableBuffer& buffer, const Entry* first, Visit visit) {
  std::size_t limit = buffer.Size() / sizeof(Entry);
  for (const Entry* entry = first; entry && limit > 0 && buffer.Holds(entry); entry = entry->Next, --limit) {
    if (!visit(*entry)) break;
  }
}

// The number of rows of a MIB table (a count followed by rows) that its
// buffer really holds, whatever the count says.
template <class Table>
DWORD RowsInBuffer(const TTableBuffer& buffer, const Table* table) {
  const std::size_t head = offsetof(Table, table);
  if (buffer.Size() < head) return 0;
  const std::size_t fit = (buffer.Size() - head) / sizeof(table->table[0]);
  return static_cast<DWORD>(std::min<std::size_t>(table->dwNumEntries, fit));
}

// Vista and later fill each unicast entry of the adapter-addresses lists
// with its prefix length.
bool SystemGivesPrefixLengths();
