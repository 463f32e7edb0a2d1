#include "optimizer/RunProgress.h"

#include "model/TextFormat.h"

#include <algorithm>
#include <cmath>

namespace quav {

RunProgress runProgress(std::int64_t processed, std::int64_t total, double elapsed) {
    RunProgress p;
    p.share = total > 0 ? std::min(1.0, static_cast<double>(processed) / static_cast<double>(total))
                        : 1.0;
    p.remainingSeconds = processed > 0
                             ? elapsed / static_cast<double>(processed) *
                                   static_cast<double>(std::max<std::int64_t>(0, total - processed))
                             : NAN;
    return p;
}

std::string clockText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e12)
        return "--:--:--";
    const auto s = static_cast<long long>(seconds + 0.5);
    return format("%lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
}

} // namespace quav
