#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The operating system's random source and a monotonic millisecond tick count,
// behind the RandomSource interface the tutor draws words with (tests script one).
// The tutor calls its source under TutorState::lock; the system source keeps no
// state, so any thread may use it.
#include <cstdint>

namespace lexipond {

// The operating system's random source; Fill returns false when it failed.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual bool Fill(uint32_t& value) = 0;
    virtual uint32_t TickCount() = 0; // milliseconds from a monotonic clock
};

} // namespace lexipond

namespace lexipond::platform {

// Fills value from the system's cryptographic source; false when it failed.
bool FillSystemRandom(uint32_t& value);
// Milliseconds of a monotonic clock; wraps after about 49 days.
uint32_t MonotonicTickCount();

// The program's RandomSource: the system's source and the monotonic tick count.
class SystemRandomSource final : public RandomSource {
  public:
    bool Fill(uint32_t& value) override { return FillSystemRandom(value); }
    uint32_t TickCount() override { return MonotonicTickCount(); }
};

} // namespace lexipond::platform
