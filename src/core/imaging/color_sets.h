// A frame's colours in a small table, two to a set, looked up without a
// branch per pixel. The passes over a frame of few colours (counting it,
// mapping it) use it on rows of short runs, where a test for the end of
// each run missed at nearly every change of colour (rings two pixels wide).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

template <typename Value> class ColorSets {
public:
    ColorSets() {
        m_keys.fill(kNone);
        m_values.fill(Value());
    }
    // The slot of rgb (a 24-bit colour): the first way of its set when it
    // is there, else the second; sets *missing when neither holds it.
    std::size_t Find(std::uint32_t rgb, int* missing) const {
        const std::size_t s = Set(rgb);
        const bool first = m_keys[s] == rgb;
        *missing |= int(!first & (m_keys[s + 1] != rgb));
        return first ? s : s + 1;
    }
    // Takes rgb into a free way of its set; false when it was there already
    // or both ways are taken (a frame of many colours, where the table
    // serves little: its callers then give it up).
    bool Take(std::uint32_t rgb, Value value) {
        const std::size_t s = Set(rgb);
        if (m_keys[s] == rgb || m_keys[s + 1] == rgb)
            return false;
        const std::size_t way = m_keys[s] == kNone ? s : s + 1;
        if (m_keys[way] != kNone)
            return false;
        m_keys[way] = rgb;
        m_values[way] = value;
        return true;
    }
    std::uint32_t Key(std::size_t slot) const { return m_keys[slot]; }
    Value& At(std::size_t slot) { return m_values[slot]; }
    const Value& At(std::size_t slot) const { return m_values[slot]; }
    static constexpr std::size_t kSlots = std::size_t(2) << 11;

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu; // no 24-bit colour
    static std::size_t Set(std::uint32_t rgb) {
        return std::size_t((rgb * 2654435761u) >> (32 - 11)) * 2;
    }
    std::array<std::uint32_t, kSlots> m_keys;
    std::array<Value, kSlots> m_values;
};
