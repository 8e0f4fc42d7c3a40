#pragma once
// Stable ordering of an object's members by key, for the parser's key orders.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "json/json_value.h"

namespace vtm::json_detail {

// The first eight bytes of a key as a big-endian number, zero-padded: when two prefixes
// differ they order the keys as key_less does (a key that ends early has a zero where the
// other has a byte, and a shorter key sorts first); only equal prefixes need the full keys.
// Eight bytes are read at once when the caller says they are there to read.
inline std::uint64_t key_prefix(std::string_view key, const char* readable_end) {
  std::uint64_t v = 0;
  if (readable_end - key.data() >= 8) {
    std::memcpy(&v, key.data(), 8);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    if (key.size() < 8) v &= ~(~std::uint64_t{0} >> (8 * key.size()));
    return v;
  }
  for (std::size_t i = 0; i < key.size(); ++i) {
    v |= std::uint64_t{static_cast<unsigned char>(key[i])} << (56 - 8 * i);
  }
  return v;
}

inline bool key_less_by_prefix(std::uint64_t pa, std::string_view a, std::uint64_t pb,
                               std::string_view b) {
  if (pa != pb) return pa < pb;
  return key_less(a, b);
}

// Calls keep(i) for each member index in key order, skipping all but the last of equal keys.
// prefix_at(i) is key_prefix of key_at(i). Insertion sort for the small objects that dominate
// real documents (no allocation, few comparisons), merge sort beyond; stable either way.
template <class KeyAt, class PrefixAt, class Keep>
void for_each_last_in_key_order(std::uint32_t n, const KeyAt& key_at, const PrefixAt& prefix_at,
                                const Keep& keep) {
  struct Entry {
    std::uint64_t prefix;
    std::uint32_t index;
  };
  // Up to this many, insertion sort on the stack; more, a stable sort on the heap.
  constexpr std::uint32_t INSERTION_MAX = 32;
  Entry small[INSERTION_MAX];
  std::vector<Entry> large;
  Entry* entries = small;
  if (n > INSERTION_MAX) {
    large.resize(n);
    entries = large.data();
  }
  for (std::uint32_t i = 0; i < n; ++i) entries[i] = Entry{prefix_at(i), i};
  const auto less = [&](const Entry& a, const Entry& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return key_less(key_at(a.index), key_at(b.index));
  };
  if (n > INSERTION_MAX) {
    std::stable_sort(entries, entries + n, less);
  } else {
    for (std::uint32_t i = 1; i < n; ++i) {
      const Entry e = entries[i];
      std::uint32_t j = i;
      while (j > 0 && less(e, entries[j - 1])) {
        entries[j] = entries[j - 1];
        --j;
      }
      entries[j] = e;
    }
  }
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i + 1 < n && entries[i].prefix == entries[i + 1].prefix &&
        key_at(entries[i].index) == key_at(entries[i + 1].index)) {
      continue;
    }
    keep(entries[i].index);
  }
}

}  // namespace vtm::json_detail
