// Writes the program's alarm sound: three falling two-tone pulses, 16-bit mono PCM WAV.
// Run it once to refresh resources/sounds/alarm.wav; the result is deterministic, and a
// test compares it with the committed file.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPulseSec = 0.42;
constexpr double kGapSec = 0.12;
constexpr int kPulses = 3;

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::vector<std::int16_t> Samples() {
    std::vector<std::int16_t> samples;
    const int pulse = static_cast<int>(kPulseSec * kRate);
    const int gap = static_cast<int>(kGapSec * kRate);
    for (int p = 0; p < kPulses; ++p) {
        for (int i = 0; i < pulse; ++i) {
            const double t = double(i) / kRate;
            // The first half high, the second low: the alarm's "hand" falls.
            const double frequency = i < pulse / 2 ? 988.0 : 740.0;
            // Short ramps at both ends of a pulse keep it free of clicks.
            const double ramp = 0.01 * kRate;
            const double envelope = std::min({1.0, i / ramp, (pulse - 1 - i) / ramp});
            const double tone = std::sin(2 * std::numbers::pi * frequency * t) * 0.75 +
                                std::sin(2 * std::numbers::pi * frequency * 2 * t) * 0.15;
            samples.push_back(static_cast<std::int16_t>(std::lround(tone * envelope * 26000)));
        }
        samples.insert(samples.end(), static_cast<size_t>(gap), 0);
    }
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: alarm-wav OUTPUT.wav\n");
        return 2;
    }
    const std::vector<std::int16_t> samples = Samples();
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> out{'R', 'I', 'F', 'F'};
    PutLe(out, 36 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(out, 16, 4);         // fmt chunk size
    PutLe(out, 1, 2);          // PCM
    PutLe(out, 1, 2);          // mono
    PutLe(out, kRate, 4);      // sample rate
    PutLe(out, kRate * 2, 4);  // byte rate
    PutLe(out, 2, 2);          // block align
    PutLe(out, 16, 2);         // bits per sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLe(out, dataBytes, 4);
    for (std::int16_t sample : samples) {
        PutLe(out, static_cast<std::uint16_t>(sample), 2);
    }
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "alarm-wav: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
