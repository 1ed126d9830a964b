// Names of the codes the platform's network tables hold.
#pragma once

#include <cstddef>
#include <cstdint>

// A name table indexed directly by a platform code. A code the table does
// not cover gives empty text, the same as the codes inside it that have no
// name, so a report never reads outside the table whatever a row holds.
class TNameTable {
 public:
  template <std::size_t N>
  constexpr TNameTable(const char* const (&names)[N], uint32_t firstCode)
      : names_(names), count_(N), first_(firstCode) {}

  const char* operator[](uint32_t code) const {
    return code >= first_ && code - first_ < count_ ? names_[code - first_] : "";
  }
  uint32_t FirstCode() const { return first_; }
  uint32_t LastCode() const { return first_ + static_cast<uint32_t>(count_) - 1; }

 private:
  const char* const* names_;  // not owned: static text
  std::size_t count_;
  uint32_t first_;
};

extern const TNameTable ArpEntryTypeNames;     // 0..4
extern const TNameTable TcpStateNames;         // 0..12
extern const TNameTable TcpRtoAlgorithmNames;  // 0..4
extern const TNameTable RouteTypeNames;        // 0..4
extern const TNameTable RouteProtocolNames;    // 0..18
extern const TNameTable NeighbourStateNames;   // 0..6, the IPv6 neighbour states
