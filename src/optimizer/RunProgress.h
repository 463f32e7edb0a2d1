#pragma once

#include <cstdint>
#include <string>

namespace quav {

/// How far a run has come, for the progress displays of the command line and
/// the calculation log.
struct RunProgress {
    double share = 1.0; ///< 0-1 of the combinations done; 1 when there are none
    /// Seconds still to go at the pace so far; not a number before the first variant.
    double remainingSeconds = 0.0;
};

RunProgress runProgress(std::int64_t processed, std::int64_t total, double elapsedSeconds);

/// "h:mm:ss" (seconds rounded), or "--:--:--" for a time not known.
std::string clockText(double seconds);

} // namespace quav
