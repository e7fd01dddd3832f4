#include "web/KmlImages.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace zm {

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

// The status palette; the state icons carry the colours of their level.
constexpr Rgb kOff{200, 200, 200};
constexpr Rgb kWait{100, 100, 100};
constexpr Rgb kError{200, 100, 0};
constexpr Rgb kGood{0, 100, 0};
constexpr Rgb kAlarm{200, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

std::uint32_t Crc32(const std::string& bytes, size_t from) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i)
        c = table[(c ^ static_cast<std::uint8_t>(bytes[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void PutBe32(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutBe32(out, static_cast<std::uint32_t>(data.size()));
    size_t start = out.size();
    out += type;
    out += data;
    PutBe32(out, Crc32(out, start));
}

// A canvas drawn by coverage: each pixel is sampled 4 x 4 times against a shape.
class Canvas {
  public:
    Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4, 0) {}

    void Fill(const std::function<bool(double, double)>& inside, Rgb c, double alpha = 1.0) {
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        if (inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0))
                            ++hits;
                if (hits)
                    Blend(x, y, c, alpha * hits / 16.0);
            }
    }
    void Circle(double cx, double cy, double r, Rgb c) {
        Fill([=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; },
             c);
    }
    void Rect(double x0, double y0, double x1, double y1, Rgb c) {
        Fill([=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; }, c);
    }
    std::string Png() const { return EncodePng(w_, h_, px_); }

  private:
    void Blend(int x, int y, Rgb c, double a) {
        std::uint8_t* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
        double da = p[3] / 255.0;
        double oa = a + da * (1 - a);
        auto mix = [&](std::uint8_t src, std::uint8_t dst) {
            return static_cast<std::uint8_t>(
                std::lround((src * a + dst * da * (1 - a)) / (oa > 0 ? oa : 1)));
        };
        p[0] = mix(c.r, p[0]);
        p[1] = mix(c.g, p[1]);
        p[2] = mix(c.b, p[2]);
        p[3] = static_cast<std::uint8_t>(std::lround(oa * 255));
    }
    int w_, h_;
    std::vector<std::uint8_t> px_;
};

Rgb Darker(Rgb c) {
    return {static_cast<std::uint8_t>(c.r * 0.55), static_cast<std::uint8_t>(c.g * 0.55),
            static_cast<std::uint8_t>(c.b * 0.55)};
}

// A round state lamp with a dark rim and a sign, so that the states differ also for
// readers who cannot tell the colours apart.
std::string StateIcon(Rgb c, char sign) {
    Canvas k(64, 64);
    k.Circle(32, 32, 30, Darker(c));
    k.Circle(32, 32, 26, c);
    switch (sign) {
        case '!':
            k.Rect(28, 13, 36, 38, kWhite);
            k.Circle(32, 46, 4.5, kWhite);
            break;
        case 'v':  // a tick
            k.Fill(
                [](double x, double y) {
                    auto near = [](double px, double py, double ax, double ay, double bx,
                                   double by) {
                        double dx = bx - ax, dy = by - ay;
                        double t = std::clamp(
                            ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
                        double ex = ax + t * dx - px, ey = ay + t * dy - py;
                        return ex * ex + ey * ey <= 16.0;
                    };
                    return near(x, y, 19, 33, 28, 42) || near(x, y, 28, 42, 45, 22);
                },
                kWhite);
            break;
        case 'x':
            k.Fill(
                [](double x, double y) {
                    double u = x - 32, v = y - 32;
                    return std::abs(u) < 13 && std::abs(v) < 13 &&
                           (std::abs(u - v) < 5.5 || std::abs(u + v) < 5.5);
                },
                kWhite);
            break;
        case '.':  // waiting: three dots
            for (int i = -1; i <= 1; ++i)
                k.Circle(32 + i * 11, 32, 4, kWhite);
            break;
        default:  // off: a bar
            k.Rect(18, 29, 46, 35, Darker(c));
            break;
    }
    return k.Png();
}

// A numbered status mark: a diamond in the status colour with 0 to 5 white pips.
std::string StatusMark(Rgb c, int pips) {
    Canvas k(64, 64);
    k.Fill([](double x, double y) { return std::abs(x - 32) + std::abs(y - 32) <= 30; }, Darker(c));
    k.Fill([](double x, double y) { return std::abs(x - 32) + std::abs(y - 32) <= 25; }, c);
    for (int i = 0; i < pips; ++i)
        k.Circle(32 + (i - (pips - 1) / 2.0) * 7, 32, 2.8, kWhite);
    return k.Png();
}

std::string Logo() {
    Canvas k(160, 48);
    k.Rect(0, 0, 160, 48, {20, 50, 110});
    // the sea surface, and a sensor above it
    k.Fill([](double x, double y) { return y > 30 + 4 * std::sin(x / 9.0); }, {40, 110, 190});
    k.Rect(70, 8, 90, 20, {230, 230, 230});
    k.Fill(
        [](double x, double y) { return y >= 20 && y < 30 && std::abs(x - 80) < (y - 18) * 0.9; },
        {250, 220, 60}, 0.8);
    return k.Png();
}

std::string Legend() {
    const Rgb rows[] = {kGood, kAlarm, kError, kWait, kOff};
    Canvas k(40, 5 * 20);
    for (int i = 0; i < 5; ++i) {
        k.Rect(2, i * 20 + 2, 38, i * 20 + 18, Darker(rows[i]));
        k.Rect(4, i * 20 + 4, 36, i * 20 + 16, rows[i]);
    }
    return k.Png();
}

std::string Arrow() {
    Canvas k(32, 32);
    k.Fill(
        [](double x, double y) {
            bool head = y >= 2 && y < 16 && std::abs(x - 16) <= (y - 2);
            bool shaft = y >= 16 && y < 30 && std::abs(x - 16) < 4;
            return head || shaft;
        },
        {40, 40, 40});
    return k.Png();
}

}  // namespace

std::string EncodePng(int width, int height, const std::vector<std::uint8_t>& rgba) {
    std::string out("\x89PNG\r\n\x1A\n", 8);
    std::string ihdr;
    PutBe32(ihdr, static_cast<std::uint32_t>(width));
    PutBe32(ihdr, static_cast<std::uint32_t>(height));
    ihdr +=
        std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, filter 0, no interlace
    PutChunk(out, "IHDR", ihdr);

    std::string raw;
    const size_t stride = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // no filter
        raw.append(reinterpret_cast<const char*>(rgba.data()) + y * stride, stride);
    }
    // zlib stream of stored blocks: nothing to compress worth a dependency here.
    std::string z("\x78\x01", 2);
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        bool last = pos + n == raw.size();
        z += static_cast<char>(last ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(raw, pos, n);
        pos += n;
    } while (pos < raw.size());
    PutBe32(z, (b << 16) | a);
    PutChunk(out, "IDAT", z);
    PutChunk(out, "IEND", {});
    return out;
}

const std::vector<KmlImage>& KmlReportImages() {
    static const std::vector<KmlImage> images = [] {
        // Status marks 00..05 follow the device status codes 0..5.
        const Rgb marks[] = {kError, kGood, kOff, kWait, kOff, kAlarm};
        std::vector<KmlImage> v;
        for (int i = 0; i < 6; ++i)
            v.push_back({"0" + std::to_string(i), 5157 + i, StatusMark(marks[i], i)});
        v.push_back({"Off", 5150, StateIcon(kOff, '-')});
        v.push_back({"Wait", 5151, StateIcon(kWait, '.')});
        v.push_back({"Error", 5152, StateIcon(kError, 'x')});
        v.push_back({"Good", 5153, StateIcon(kGood, 'v')});
        v.push_back({"Alarm", 5154, StateIcon(kAlarm, '!')});
        v.push_back({"Logo", 5156, Logo()});
        v.push_back({"Legend", 5163, Legend()});
        return v;
    }();
    return images;
}

const KmlImage& KmlArrowImage() {
    static const KmlImage arrow{"Arrow", 5142, Arrow()};
    return arrow;
}

}  // namespace zm
