// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/speech/Pcm.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lexipond::speech {

std::vector<int16_t> Resample(std::span<const int16_t> samples, uint32_t fromRate,
                              uint32_t toRate) {
    if (fromRate == 0 || toRate == 0)
        return {};
    if (fromRate == toRate)
        return {samples.begin(), samples.end()};
    constexpr double kZeroCrossings = 16;
    const double step = static_cast<double>(fromRate) / toRate; // input samples per output
    // Cut-off in cycles per input sample: below both Nyquist frequencies.
    const double cutoff = 0.5 * std::min(1.0, 1.0 / step) * 0.95;
    const double halfWidth = kZeroCrossings / (2 * cutoff); // in input samples
    const auto outCount =
        static_cast<size_t>(static_cast<double>(samples.size()) * toRate / fromRate);
    std::vector<int16_t> out(outCount);
    const auto last = static_cast<long>(samples.size()) - 1;
    for (size_t n = 0; n < outCount; ++n) {
        const double centre = static_cast<double>(n) * step;
        const long first = std::max(0L, static_cast<long>(std::ceil(centre - halfWidth)));
        const long end = std::min(last, static_cast<long>(std::floor(centre + halfWidth)));
        double sum = 0;
        for (long k = first; k <= end; ++k) {
            const double x = static_cast<double>(k) - centre;
            const double arg = 2 * cutoff * x;
            const double sinc =
                arg == 0 ? 1.0 : std::sin(std::numbers::pi * arg) / (std::numbers::pi * arg);
            const double phase = std::numbers::pi * (x / halfWidth + 1); // 0..2π over the window
            const double window = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
            sum += samples[static_cast<size_t>(k)] * 2 * cutoff * sinc * window;
        }
        out[n] = static_cast<int16_t>(std::clamp(std::lround(sum), -32768L, 32767L));
    }
    return out;
}

} // namespace lexipond::speech
