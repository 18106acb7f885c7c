// The random sequence the cloud animations and the craft-scissors pattern
// are defined with: a linear congruential generator giving 15-bit results,
// 0 .. 32767, seedable so a render can be reproduced.
#pragma once

#include <cstdint>

class Random15 {
public:
    static constexpr int kMax = 32767;

    explicit Random15(std::uint32_t seed = 1) : m_state(seed) {}
    void Seed(std::uint32_t seed) { m_state = seed; }
    int Next() {
        m_state = m_state * 214013u + 2531011u;
        return int((m_state >> 16) & 0x7FFFu);
    }
    // The integer part of Next() * n / 32767, as the animations scale a draw.
    int Scaled(int n) { return int(double(Next()) * n / kMax); }

private:
    std::uint32_t m_state;
};
