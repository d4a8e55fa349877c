// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/Random.h"

#include <cerrno>
#include <chrono>

#if defined(__linux__)
#include <sys/random.h>
#elif defined(__APPLE__) || defined(__FreeBSD__) || defined(__OpenBSD__) || defined(__NetBSD__)
#include <unistd.h>
#else
#include <exception>
#include <random>
#endif

namespace lexipond::platform {

bool FillSystemRandom(uint32_t& value) {
    uint32_t fresh = 0;
#if defined(__linux__)
    // Never block: before the kernel's pool is ready the caller's fallback takes over.
    for (;;) {
        const ssize_t got = getrandom(&fresh, sizeof fresh, GRND_NONBLOCK);
        if (got == static_cast<ssize_t>(sizeof fresh)) {
            break;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
#elif defined(__APPLE__) || defined(__FreeBSD__) || defined(__OpenBSD__) || defined(__NetBSD__)
    if (getentropy(&fresh, sizeof fresh) != 0) {
        return false;
    }
#else
    try {
        std::random_device device;
        fresh = static_cast<uint32_t>(device());
    } catch (const std::exception&) {
        return false;
    }
#endif
    value = fresh;
    return true;
}

uint32_t MonotonicTickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

} // namespace lexipond::platform
