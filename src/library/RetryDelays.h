#pragma once

#include <array>
#include <chrono>

namespace framlet {

// The patience given to a file that exists but cannot be decoded yet (a screenshot tool often
// creates the file first and fills it afterwards): waits of 0.25, 0.75, 2 and 5 seconds, with an
// existence check after each, so at most five attempts over about eight seconds.
inline constexpr std::array<std::chrono::milliseconds, 4> kRetryDelays{
    std::chrono::milliseconds(250), std::chrono::milliseconds(750), std::chrono::milliseconds(2000),
    std::chrono::milliseconds(5000)};

}  // namespace framlet
