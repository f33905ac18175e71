#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <optional>

namespace framlet {

// The patience given to a file that exists but cannot be decoded yet (a screenshot tool often
// creates the file first and fills it afterwards): waits of 0.25, 0.75, 2 and 5 seconds, with an
// existence check after each, so five attempts over about eight seconds for a file that stays
// as it is.
inline constexpr std::array<std::chrono::milliseconds, 4> kRetryDelays{
    std::chrono::milliseconds(250), std::chrono::milliseconds(750), std::chrono::milliseconds(2000),
    std::chrono::milliseconds(5000)};

// The wait after a failed attempt that followed waitsUsed waits, or none (give up). After the
// waits above, a file that changed since the attempt before is still being written (a large
// capture written slowly): it gets the last wait again, for as long as it keeps changing.
inline std::optional<std::chrono::milliseconds> nextRetryDelay(std::size_t waitsUsed,
                                                               bool changedSincePrevious) {
    if (waitsUsed < kRetryDelays.size()) {
        return kRetryDelays[waitsUsed];
    }
    if (changedSincePrevious) {
        return kRetryDelays.back();
    }
    return std::nullopt;
}

}  // namespace framlet
