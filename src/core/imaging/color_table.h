// The open-addressed tables colours are counted in: 24-bit colours as keys
// (all ones is an empty slot), values beside them, linear probing in a table
// of a power of two slots.
#pragma once

#include <cstdint>
#include <vector>

namespace color_table {

constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

inline std::uint32_t HashOf(std::uint32_t key) {
    key *= 0x9E3779B1u; // Fibonacci hashing spreads neighbouring colours
    return key ^ (key >> 15);
}

// Moves the entries into tables of twice the slots.
template <typename Value> void Grow(std::vector<std::uint32_t>& keys, std::vector<Value>& values) {
    std::vector<std::uint32_t> newKeys(keys.size() * 2, kEmpty);
    std::vector<Value> newValues(keys.size() * 2, Value());
    const std::uint32_t mask = std::uint32_t(newKeys.size() - 1);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == kEmpty)
            continue;
        std::uint32_t slot = HashOf(keys[i]) & mask;
        while (newKeys[slot] != kEmpty)
            slot = (slot + 1) & mask;
        newKeys[slot] = keys[i];
        newValues[slot] = values[i];
    }
    keys.swap(newKeys);
    values.swap(newValues);
}

} // namespace color_table
