// A fast hash of a byte string, a word at a time, for the tables that find
// repeated texts (not for anything an adversary may choose to collide:
// every table compares the texts themselves).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace korva {

inline std::uint64_t hash_bytes(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::uint64_t hash = 0xCBF29CE484222325;
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + at, sizeof word);
    hash = (hash ^ word) * 0x9E3779B97F4A7C15;
    hash ^= hash >> 29;
  }
  for (; at < size; ++at) hash = (hash ^ bytes[at]) * 0x100000001B3;
  return hash ^ (hash >> 32);
}

}  // namespace korva
