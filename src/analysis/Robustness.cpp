#include "analysis/Robustness.h"

#include "analysis/EigenAnalysis.h"
#include "analysis/KineticEnergy.h"
#include "analysis/OwnFrequencyModes.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace quav {

namespace {

/// The finaliser of SplitMix64: a bijection that scatters neighbouring inputs.
std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

/// The random numbers of one sample: SplitMix64 from a state that hashes the seed
/// and the sample's index, so no two samples share a stretch of their streams.
class SampleRandom {
public:
    SampleRandom(std::uint64_t seed, std::int64_t sample)
        : state_(mix(seed ^ mix(static_cast<std::uint64_t>(sample) + 0x9E3779B97F4A7C15ULL))) {}

    /// Uniform in [-1, 1).
    double symmetric() { return 2.0 * unit() - 1.0; }

    /// A standard normal number within +-3, as a fraction of 3 (so in [-1, 1]):
    /// Marsaglia's polar method, redrawn beyond the truncation.
    double truncatedNormal() {
        for (;;) {
            const double u = symmetric(), v = symmetric();
            const double s = u * u + v * v;
            if (s <= 0.0 || s >= 1.0)
                continue;
            const double z = u * std::sqrt(-2.0 * std::log(s) / s);
            if (std::fabs(z) <= 3.0)
                return z / 3.0;
        }
    }

private:
    double unit() {
        state_ += 0x9E3779B97F4A7C15ULL;
        return static_cast<double>(mix(state_) >> 11) * 0x1.0p-53;
    }
    std::uint64_t state_;
};

/// Frequencies [Hz] and decoupling rates [%] of the six modes, by mode number.
struct SampleModes {
    double frequency[6];
    double decoupling[6];
    bool converged = true; ///< with tables: every mode found at its own frequency
};

SampleModes sampleModes(const AnalysisModel& model, const PrincipalAxes& principal) {
    // With frequency tables each mode at its own frequency; the tables stay
    // relative to the rates the sample draws.
    const OwnFrequencyModes own = solveModesAtOwnFrequencies(model, principal);
    const ModalSolution& modes = own.modes;
    SampleModes s;
    s.converged = own.converged();
    for (int number = 1; number <= 6; ++number) {
        const int j = 6 - number;
        double phi[6];
        modeVector(modes, number, phi);
        long double e[6];
        const long double total = modeEnergyTerms(model.mass, model.inertia.data(), phi, e);
        long double largest = e[0];
        for (int k = 1; k < 6; ++k)
            largest = std::max(largest, e[k]);
        s.frequency[number - 1] = modes.frequencies[j];
        s.decoupling[number - 1] = static_cast<double>(100.0L * largest / total);
    }
    return s;
}

/// What a sample is made from: the model's body and springs, and the
/// characteristics whose rates vary (the model's, or one copy per bound spring),
/// with their nominal rates. Loads and results, which samples do not use, are left
/// out, so the threads' samples are small however big the model.
struct SampleBase {
    AnalysisModel model;
    std::vector<Matrix> nominalRates; ///< of model.springCharacteristics, in order
};

SampleBase sampleBase(const AnalysisModel& model, RateVariation vary) {
    SampleBase base;
    base.model = varyingModel(model, vary);
    for (const SpringCharacteristic& c : base.model.springCharacteristics)
        base.nominalRates.push_back(c.stiffness);
    return base;
}

/// Sample `index`: every varied rate and every spring coordinate drawn within its
/// tolerance, written into `sample` (a copy of `base.model`).
void drawSample(const SampleBase& base, const RobustnessSettings& settings, std::int64_t index,
                AnalysisModel& sample) {
    SampleRandom random(settings.seed, index);
    const double rateScale = settings.tolerancePct / 100.0;
    const bool normal = settings.distribution == ToleranceDistribution::Normal;
    for (std::size_t k = 0; k < base.nominalRates.size(); ++k) {
        const Matrix& rates = base.nominalRates[k];
        for (int a = 0; a < 3; ++a) {
            const double x = normal ? random.truncatedNormal() : random.symmetric();
            sample.springCharacteristics[k].stiffness[a] = rates[a] * (1.0 + rateScale * x);
        }
    }
    const std::vector<SpringElement>& springs = base.model.springs;
    for (std::size_t s = 0; s < springs.size(); ++s)
        for (int a = 0; a < 3; ++a)
            sample.springs[s].position[a] =
                springs[s].position[a] + settings.positionTolerance * random.symmetric();
}

/// Sums of one quantity over a run of samples, as deviations from the nominal value
/// (exactly 0 for a sample equal to it, and no cancellation in the variance).
struct Moments {
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    long double sum = 0.0L;
    long double squares = 0.0L;

    void add(double x, double nominal) {
        min = std::min(min, x);
        max = std::max(max, x);
        const long double d = static_cast<long double>(x) - nominal;
        sum += d;
        squares += d * d;
    }
    void merge(const Moments& o) {
        min = std::min(min, o.min);
        max = std::max(max, o.max);
        sum += o.sum;
        squares += o.squares;
    }
};

struct Chunk {
    std::int64_t count = 0;
    std::int64_t unconverged = 0;
    std::int64_t inWindow = 0;
    Moments frequency[6];
    Moments decoupling[6];
};

Spread spread(const Moments& m, double nominal, std::int64_t n) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    Spread s{nominal, nan, nan, nan, nan};
    if (n == 0)
        return s;
    s.min = m.min;
    s.max = m.max;
    s.mean = static_cast<double>(nominal + m.sum / n);
    if (n > 1) {
        const long double variance = (m.squares - m.sum * m.sum / n) / (n - 1);
        s.std = static_cast<double>(std::sqrt(std::max(0.0L, variance)));
    }
    return s;
}

} // namespace

AnalysisModel varyingModel(const AnalysisModel& model, RateVariation vary) {
    AnalysisModel m;
    m.mass = model.mass;
    m.inertia = model.inertia;
    m.centreOfGravity = model.centreOfGravity;
    m.springs = model.springs;
    m.lastId = model.lastId;
    if (vary == RateVariation::PerCharacteristic) {
        m.springCharacteristics = model.springCharacteristics;
        return m;
    }
    // Each bound spring its own copy, under an id no model element has.
    for (SpringElement& s : m.springs) {
        const SpringCharacteristic* c = model.findCharacteristic(s.characteristicId);
        if (!c)
            continue;
        m.springCharacteristics.push_back(*c);
        m.springCharacteristics.back().id = m.nextId();
        s.characteristicId = m.springCharacteristics.back().id;
    }
    return m;
}

RobustnessResult robustness(const AnalysisModel& model, const RobustnessSettings& settings,
                            const FrequencyWindow& window, RunControl& control) {
    RobustnessResult result;
    result.requested = settings.samples;
    // The body is the same in every sample: so are its principal axes.
    const PrincipalAxes principal = principalInertiaAxes(model.inertia);
    const SampleModes nominal = sampleModes(model, principal);

    // Fixed chunks of consecutive samples, combined in their order: how many threads
    // take them decides nothing. At most about 4096 chunks however long the run.
    const std::int64_t n = std::max<std::int64_t>(0, settings.samples);
    const std::int64_t chunkSize = std::max<std::int64_t>(64, n / 4096 + 1);
    const std::int64_t chunkCount = n / chunkSize + (n % chunkSize != 0);
    std::vector<Chunk> chunks(static_cast<std::size_t>(chunkCount));
    std::atomic<std::int64_t> nextChunk{0};

    const SampleBase base = sampleBase(model, settings.vary);
    // A thread that fails keeps its chunks so far; the others stop at their next batch.
    auto samplesOfOneThread = [&] {
        AnalysisModel sample = base.model;
        std::int64_t uncounted = 0;
        bool stopped = false;
        while (!stopped) {
            const std::int64_t c = nextChunk.fetch_add(1);
            if (c >= chunkCount)
                break;
            Chunk& chunk = chunks[static_cast<std::size_t>(c)];
            const std::int64_t end = c + 1 == chunkCount ? n : (c + 1) * chunkSize;
            for (std::int64_t i = c * chunkSize; i < end; ++i) {
                // Counted in small batches: a shared counter written by every sample
                // would keep the threads waiting on each other.
                if (i % 16 == 0) {
                    control.done.fetch_add(uncounted, std::memory_order_relaxed);
                    uncounted = 0;
                    if ((stopped = control.stop.load(std::memory_order_relaxed)))
                        break;
                }
                drawSample(base, settings, i, sample);
                const SampleModes modes = sampleModes(sample, principal);
                ++uncounted;
                if (!modes.converged) {
                    ++chunk.unconverged;
                    continue;
                }
                for (int q = 0; q < 6; ++q) {
                    chunk.frequency[q].add(modes.frequency[q], nominal.frequency[q]);
                    chunk.decoupling[q].add(modes.decoupling[q], nominal.decoupling[q]);
                }
                if (window.contains(modes.frequency[0], modes.frequency[5]))
                    ++chunk.inWindow;
                ++chunk.count;
            }
        }
        control.done.fetch_add(uncounted, std::memory_order_relaxed);
    };

    const int hardware = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = static_cast<int>(std::min<std::int64_t>(
        settings.threads > 0 ? settings.threads : hardware, std::max<std::int64_t>(1, chunkCount)));
    const std::exception_ptr failure =
        runOnThreads(threads, samplesOfOneThread, [&control] { control.stop.store(true); });

    Chunk total;
    for (const Chunk& c : chunks) {
        total.count += c.count;
        total.unconverged += c.unconverged;
        total.inWindow += c.inWindow;
        for (int q = 0; q < 6; ++q) {
            total.frequency[q].merge(c.frequency[q]);
            total.decoupling[q].merge(c.decoupling[q]);
        }
    }
    result.samples = total.count;
    result.unconverged = total.unconverged;
    result.completed = total.count + total.unconverged == n && !failure;
    // Made only now, after the threads' memory is back: a message may need some.
    if (failure)
        result.error = interruptedCalculationText(failure);
    for (int q = 0; q < 6; ++q) {
        ModeSpread& mode = result.modes[q];
        mode.mode = q + 1;
        mode.frequency = spread(total.frequency[q], nominal.frequency[q], total.count);
        mode.decoupling = spread(total.decoupling[q], nominal.decoupling[q], total.count);
    }
    if (window.enabled() && total.count > 0)
        result.windowShare = 100.0 * static_cast<double>(total.inWindow) / total.count;
    return result;
}

} // namespace quav
