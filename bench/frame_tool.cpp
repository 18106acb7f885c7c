// Helper of bench/compare-encoders: makes the reference frame sets and
// measures how close a decoded GIF is to its source frames.
//
//   velmora_frame_tool make KIND FRAMES WIDTH HEIGHT OUT.raw
//       KIND: gradient (smooth many-colour), stripes (flat colours), mixed,
//       tile (the default animation's frames)
//   velmora_frame_tool psnr SOURCE.raw DECODED.raw WIDTH HEIGHT [--blur]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Gradient(int t, int w, int h, std::uint8_t* out) {
    const double pi = 3.14159265358979;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = double(x) / w, v = double(y) / h, p = t * 2 * pi / 100.0;
            std::uint8_t* px = out + 3 * (std::size_t(y) * w + x);
            px[0] = std::uint8_t(127.5 + 127.5 * std::sin(2 * pi * u + p));
            px[1] = std::uint8_t(127.5 + 127.5 * std::sin(2 * pi * (0.7 * v + 0.3 * u) - p + 2.0));
            px[2] = std::uint8_t(127.5 + 127.5 * std::sin(2 * pi * (u * v) * 1.5 + 2 * p + 4.0));
        }
}

void Stripes(int t, int w, int h, std::uint8_t* out) {
    static const std::uint8_t colors[5][3] = {
        {230, 57, 70}, {241, 250, 238}, {168, 218, 220}, {69, 123, 157}, {29, 53, 87}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int band = (((x + y + 3 * t) / 12) % 5 + 5) % 5;
            std::memcpy(out + 3 * (std::size_t(y) * w + x), colors[band], 3);
        }
}

// A seamless 40 x 40 tile of diagonal bands moving two pixels a frame: the
// installation's default animation.
void Tile(int t, int w, int h, std::uint8_t* out) {
    static const std::uint8_t colors[5][3] = {{0x2b, 0x2d, 0x42},
                                              {0x8d, 0x99, 0xae},
                                              {0xed, 0xf2, 0xf4},
                                              {0xef, 0x23, 0x3c},
                                              {0xd9, 0x04, 0x29}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int band = ((x + y + 2 * t) / 8) % 5;
            std::memcpy(out + 3 * (std::size_t(y) * w + x), colors[band], 3);
        }
}

// Stripes whose bands carry gradients, as the stripe animations draw them.
void Mixed(int t, int w, int h, std::uint8_t* out) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int d = x * 2 + y + 4 * t;
            const int band = (d / 40) % 3, within = d % 40;
            std::uint8_t* px = out + 3 * (std::size_t(y) * w + x);
            const int ramp = within * 255 / 39;
            px[0] = std::uint8_t(band == 0 ? ramp : band == 1 ? 255 - ramp : 40);
            px[1] = std::uint8_t(band == 1 ? ramp : band == 2 ? 255 - ramp : 90);
            px[2] = std::uint8_t(band == 2 ? ramp : band == 0 ? 255 - ramp : 160);
        }
}

std::vector<std::uint8_t> ReadFile(const char* path) {
    std::vector<std::uint8_t> data;
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::fprintf(stderr, "cannot open %s\n", path);
        std::exit(1);
    }
    std::uint8_t buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        data.insert(data.end(), buffer, buffer + n);
    std::fclose(f);
    return data;
}

// 3 x 3 box blur of one frame (edges use the pixels that exist).
std::vector<double> Blur(const std::uint8_t* frame, int w, int h) {
    std::vector<double> out(std::size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int xx = x + dx, yy = y + dy;
                        if (xx < 0 || yy < 0 || xx >= w || yy >= h)
                            continue;
                        sum += frame[3 * (std::size_t(yy) * w + xx) + c];
                        ++n;
                    }
                out[3 * (std::size_t(y) * w + x) + c] = sum / n;
            }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::string(argv[1]) == "make") {
        const std::string kind = argv[2];
        const int frames = std::atoi(argv[3]), w = std::atoi(argv[4]), h = std::atoi(argv[5]);
        FILE* f = std::fopen(argv[6], "wb");
        if (!f)
            return 1;
        std::vector<std::uint8_t> frame(std::size_t(w) * h * 3);
        for (int t = 0; t < frames; ++t) {
            if (kind == "gradient")
                Gradient(t, w, h, frame.data());
            else if (kind == "stripes")
                Stripes(t, w, h, frame.data());
            else if (kind == "tile")
                Tile(t, w, h, frame.data());
            else
                Mixed(t, w, h, frame.data());
            std::fwrite(frame.data(), 1, frame.size(), f);
        }
        return std::fclose(f) == 0 ? 0 : 1;
    }
    if ((argc == 6 || argc == 7) && std::string(argv[1]) == "psnr") {
        const std::vector<std::uint8_t> a = ReadFile(argv[2]), b = ReadFile(argv[3]);
        const int w = std::atoi(argv[4]), h = std::atoi(argv[5]);
        const bool blur = argc == 7 && std::string(argv[6]) == "--blur";
        const std::size_t frameBytes = std::size_t(w) * h * 3;
        if (a.size() != b.size() || a.size() % frameBytes != 0) {
            std::fprintf(stderr, "sizes differ: %zu and %zu bytes\n", a.size(), b.size());
            return 1;
        }
        double squared = 0;
        for (std::size_t off = 0; off < a.size(); off += frameBytes) {
            if (blur) {
                const auto ba = Blur(&a[off], w, h), bb = Blur(&b[off], w, h);
                for (std::size_t i = 0; i < ba.size(); ++i)
                    squared += (ba[i] - bb[i]) * (ba[i] - bb[i]);
            } else {
                for (std::size_t i = 0; i < frameBytes; ++i) {
                    const double d = double(a[off + i]) - double(b[off + i]);
                    squared += d * d;
                }
            }
        }
        const double mse = squared / double(a.size());
        std::printf("%.2f\n", mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse));
        return 0;
    }
    std::fprintf(stderr,
                 "usage: velmora_frame_tool make KIND FRAMES W H OUT | psnr A B W H [--blur]\n");
    return 2;
}
