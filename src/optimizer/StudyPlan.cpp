#include "optimizer/StudyPlan.h"

#include "model/Worker.h"
#include "optimizer/OptimizerRun.h"
#include "optimizer/Variant.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quav {

namespace {

/// The j-th sampled combination of `total`: all of them in order when the
/// sample may hold them all, else the golden-ratio sequence, which spreads any
/// number of samples evenly over the enumeration.
std::int64_t sampleIndex(std::int64_t j, std::int64_t total, std::int64_t limit) {
    if (total <= limit)
        return j;
    constexpr long double kGolden = 0.618033988749894848204586834365638118L;
    const long double t = static_cast<long double>(j) * kGolden;
    const long double position = (t - std::floor(t)) * static_cast<long double>(total);
    return std::min(total - 1, static_cast<std::int64_t>(position));
}

} // namespace

StudySample sampleStudy(const Optimizer& optimizer, const AnalysisModel& model, int threads,
                        double seconds) {
    using Clock = std::chrono::steady_clock;
    StudySample sample;
    sample.combinations = walkedCombinations(optimizer.parameters);
    sample.threads =
        threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (sample.combinations == 0)
        return sample;
    // Far more than a short sample reaches: beyond it the enumeration is sampled.
    constexpr std::int64_t kAllBelow = 1 << 20;
    const RunInput input(model, optimizer);
    std::atomic<std::int64_t> next{0}, accepted{0}, done{0};
    const Clock::time_point start = Clock::now();
    const auto deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    auto evaluate = [&] {
        std::vector<DesignParameter> parameters = optimizer.parameters;
        AnalysisModel variant;
        for (;;) {
            const std::int64_t j = next.fetch_add(1);
            // The first variant is always evaluated, whatever the time allowed.
            if (j >= sample.combinations || (j > 0 && Clock::now() >= deadline))
                return;
            // The values by one product each, not by the run's repeated additions
            // (which would take as long as a million variants to reach a value far
            // along a long parameter): equal up to rounding, enough to time a sample.
            std::int64_t rest = sampleIndex(j, sample.combinations, kAllBelow);
            for (std::size_t d = parameters.size(); d-- > 0;) {
                const std::int64_t count = valueCount(parameters[d]);
                parameters[d].currentValue =
                    parameters[d].minValue +
                    static_cast<double>(rest % count) * parameters[d].increment;
                rest /= count;
            }
            if (input.evaluate(parameters, variant))
                accepted.fetch_add(1);
            done.fetch_add(1);
        }
    };
    const std::exception_ptr failure = runOnThreads(sample.threads, evaluate, [&] {
        next.store(sample.combinations); // the others end too
    });
    if (failure)
        std::rethrow_exception(failure);
    sample.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    sample.sampled = done.load();
    sample.accepted = accepted.load();
    return sample;
}

} // namespace quav
