// GIF's LZW compression of one image's indices, done apart from the file so
// that frames can be compressed in parallel and written in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The smallest LZW code size GIF allows for a colour table of `colors`
// entries (rounded up to a power of two, at least 2 bits).
int GifMinCodeSize(int colors);

// Returns the image data as GIF stores it after the code-size byte: data
// sub-blocks of at most 255 bytes, each led by its length, without the
// terminating empty block. Every index must be below 1 << minCodeSize.
std::vector<std::uint8_t> LzwEncode(const std::uint8_t* indices, std::size_t count,
                                    int minCodeSize);

// The same code stream from the hashed dictionary every code size can use;
// LzwEncode takes a directly indexed one for code sizes up to 5. Both are
// here so that each can be checked against the other.
std::vector<std::uint8_t> LzwEncodeHashed(const std::uint8_t* indices, std::size_t count,
                                          int minCodeSize);
