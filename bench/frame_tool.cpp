// Helper of bench/compare-encoders: makes the reference frame sets and
// measures how close a decoded GIF is to its source frames.
//
//   velmora_frame_tool make KIND FRAMES WIDTH HEIGHT OUT.raw
//       KIND: gradient (smooth many-colour), stripes (flat colours), mixed,
//       tile (the default animation's frames), drift (smooth pictures whose
//       hues move from frame to frame), scroll (a photograph-like picture
//       panned under a fixed window)
//   velmora_frame_tool psnr SOURCE.raw DECODED.raw WIDTH HEIGHT [--blur]
//   velmora_frame_tool floor WIDTH HEIGHT FRAMES
//       the memory-read floor: CPU nanoseconds per pixel to read and sum
//       FRAMES frames of 32-bit pixels that do not fit in any cache, the
//       least a save of that many pixels can cost
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

// Hue, saturation, value (hue in turns) to 8-bit RGB.
void Hsv(double hue, double s, double v, std::uint8_t* px) {
    hue -= std::floor(hue);
    const double h6 = hue * 6;
    const int sector = int(h6) % 6;
    const double f = h6 - std::floor(h6);
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = t, b = p;
    switch (sector) {
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = t;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = t, g = p, b = v;
        break;
    case 5:
        r = v, g = p, b = q;
        break;
    default:
        break;
    }
    px[0] = std::uint8_t(r * 255 + 0.5), px[1] = std::uint8_t(g * 255 + 0.5),
    px[2] = std::uint8_t(b * 255 + 0.5);
}

// Smooth waves whose whole colour range turns about the hue circle once in
// 80 frames: each frame holds a narrow band of hues, the animation all of them.
void Drift(int t, int w, int h, std::uint8_t* out) {
    const double pi = 3.14159265358979;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = double(x) / w, v = double(y) / h;
            const double wave = std::sin(2 * pi * (u * 1.3 + v * 0.4) + t * 0.11) *
                                std::cos(2 * pi * (v * 0.9 - u * 0.2) - t * 0.07);
            const double hue = t / 80.0 + 0.09 * wave + 0.04 * u;
            const double sat = 0.55 + 0.4 * std::sin(2 * pi * (u * 0.7 + t * 0.013));
            const double val =
                0.35 + 0.6 * (0.5 + 0.5 * std::sin(2 * pi * (v * 1.1 - u * 0.3) + wave));
            Hsv(hue, sat, val, out + 3 * (std::size_t(y) * w + x));
        }
}

// Value noise: a lattice of random values, smoothly interpolated.
class Noise {
public:
    explicit Noise(unsigned seed) {
        for (auto& v : m_values) {
            seed = seed * 1103515245u + 12345u;
            v = double((seed >> 8) & 0xFFFF) / 65535.0;
        }
    }
    double At(double x, double y) const {
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        const double fx = x - x0, fy = y - y0;
        const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
        auto v = [&](int i, int j) { return m_values[std::size_t(((j & 63) << 6) | (i & 63))]; };
        const double a = v(x0, y0) + (v(x0 + 1, y0) - v(x0, y0)) * sx;
        const double b = v(x0, y0 + 1) + (v(x0 + 1, y0 + 1) - v(x0, y0 + 1)) * sx;
        return a + (b - a) * sy;
    }
    double Fractal(double x, double y) const {
        double sum = 0, amplitude = 0.5;
        for (int octave = 0; octave < 5; ++octave, x *= 2.03, y *= 2.03, amplitude *= 0.5)
            sum += amplitude * At(x, y);
        return sum / 0.97;
    }

private:
    double m_values[64 * 64];
};

// A landscape-like picture (sky, hills, texture) twice the frame's size,
// panned three pixels right and one down a frame.
void Scroll(int t, int w, int h, std::uint8_t* out) {
    static const Noise light(7), tone(1234), grain(99);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double px = x + 3.0 * t, py = y + 1.0 * t;
            const double horizon = 0.45 * h + 0.25 * h * light.Fractal(px / 90.0, 3.7);
            const double l = light.Fractal(px / 60.0, py / 60.0);
            const double c = tone.Fractal(px / 40.0, py / 40.0);
            const double g = grain.Fractal(px / 6.0, py / 6.0) - 0.5;
            double r, gg, b;
            if (py < horizon) { // sky: blue to pale, soft clouds
                const double k = py / horizon;
                r = 90 + 120 * k + 90 * l * l;
                gg = 140 + 80 * k + 70 * l * l;
                b = 220 + 30 * k;
            } else { // hills: greens, browns, shadows
                const double k = std::min(1.0, (py - horizon) / (h * 1.2));
                r = 70 + 110 * c - 40 * k + 40 * l;
                gg = 100 + 90 * l - 30 * k + 30 * c;
                b = 40 + 50 * c * l;
            }
            auto clamp = [](double v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            std::uint8_t* p = out + 3 * (std::size_t(y) * w + x);
            p[0] = clamp(r + 40 * g), p[1] = clamp(gg + 40 * g), p[2] = clamp(b + 30 * g);
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
            else if (kind == "drift")
                Drift(t, w, h, frame.data());
            else if (kind == "scroll")
                Scroll(t, w, h, frame.data());
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
    if (argc == 5 && std::string(argv[1]) == "floor") {
        const std::size_t w = std::size_t(std::atoi(argv[2])), h = std::size_t(std::atoi(argv[3]));
        const int frames = std::atoi(argv[4]);
        // A ring of frames four times the size of a large last-level cache,
        // touched once first so that page faults are not counted.
        const std::size_t framePixels = std::max<std::size_t>(w * h, 1);
        const std::size_t ring =
            std::max<std::size_t>(1, (std::size_t(64) << 20) / 4 / framePixels);
        std::vector<std::uint32_t> pixels(ring * framePixels);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = std::uint32_t(i * 2654435761u);
        std::uint64_t sum = 0;
        timespec start{}, end{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
        for (int f = 0; f < frames; ++f) {
            const std::uint32_t* p = pixels.data() + (std::size_t(f) % ring) * framePixels;
            for (std::size_t i = 0; i < framePixels; ++i)
                sum += p[i];
        }
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
        const double ns =
            double(end.tv_sec - start.tv_sec) * 1e9 + double(end.tv_nsec - start.tv_nsec);
        std::printf("%.3f %llu\n", ns / (double(framePixels) * frames),
                    (unsigned long long)(sum & 1));
        return 0;
    }
    std::fprintf(stderr, "usage: velmora_frame_tool make KIND FRAMES W H OUT | psnr A B W H "
                         "[--blur] | floor W H FRAMES\n");
    return 2;
}
