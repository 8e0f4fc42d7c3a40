#pragma once
// Stable ordering of object members by key, shared by JsonObject::from_unsorted and the parser.
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "json/json_value.h"

namespace vtm::json_detail {

inline bool key_equal(std::string_view a, std::string_view b) { return a == b; }

// Fills order[0..n) with a stable ordering of the members by key_at(i). Insertion sort for the
// small objects that dominate real documents (no allocation, few comparisons), merge sort
// beyond. Of equal keys the last in order is the one to keep.
template <class KeyAt>
void stable_key_order(std::uint32_t* order, std::uint32_t n, const KeyAt& key_at) {
  for (std::uint32_t i = 0; i < n; ++i) order[i] = i;
  if (n < 2) return;
  if (n <= 32) {
    for (std::uint32_t i = 1; i < n; ++i) {
      const std::uint32_t idx = order[i];
      const std::string_view k = key_at(idx);
      std::uint32_t j = i;
      while (j > 0 && key_less(k, key_at(order[j - 1]))) {
        order[j] = order[j - 1];
        --j;
      }
      order[j] = idx;
    }
    return;
  }
  std::stable_sort(order, order + n, [&](std::uint32_t a, std::uint32_t b) {
    return key_less(key_at(a), key_at(b));
  });
}

// Calls keep(i) for each member index in key order, skipping all but the last of equal keys.
template <class KeyAt, class Keep>
void for_each_last_in_key_order(std::uint32_t n, const KeyAt& key_at, const Keep& keep) {
  std::uint32_t small[32];
  std::vector<std::uint32_t> large;
  std::uint32_t* order = small;
  if (n > 32) {
    large.resize(n);
    order = large.data();
  }
  stable_key_order(order, n, key_at);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i + 1 < n && key_equal(key_at(order[i]), key_at(order[i + 1]))) continue;
    keep(order[i]);
  }
}

}  // namespace vtm::json_detail
