#include "optimizer/EvolutionarySearch.h"

#include "analysis/ModelCheck.h"
#include "model/FileIo.h"
#include "model/TextFormat.h"
#include "model/Worker.h"
#include "optimizer/BatchPipeline.h"
#include "optimizer/OptimizerLog.h"
#include "optimizer/ParetoFront.h"
#include "optimizer/StudyCheck.h"
#include "optimizer/Variant.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <ctime>
#include <exception>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <thread>

namespace quav {

namespace {

// Distribution indices of the variation operators: offspring near their parents,
// as NSGA-II's authors recommend for real-coded parameters.
constexpr double kCrossoverEta = 15.0;
constexpr double kMutationEta = 20.0;
constexpr double kCrossoverProbability = 0.9;

/// Uniform numbers from the seed alone: the same on every build and machine.
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    double uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; } // [0, 1)
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(uniform() * n); }

private:
    std::mt19937_64 engine_;
};

/// One design: its genes (values, or grid positions in a discrete search) and
/// what its evaluation found.
struct Individual {
    std::vector<double> genes;
    std::vector<double> values;     ///< the parameters' values
    std::vector<double> objectives; ///< as measured; empty unless feasible
    bool feasible = false;
    int violation = 0;           ///< conditions failed (more for a variant not judged at all)
    std::int64_t evaluation = 0; ///< from 1, in the order of evaluation
    int rank = 0;
    double crowding = 0.0;
};

class Search {
public:
    Search(Optimizer& optimizer, const AnalysisModel& model, const RunOptions& options,
           const SearchSettings& settings)
        : opt_(optimizer), model_(model), options_(options), settings_(settings),
          senses_(objectiveSenses(optimizer.objectives)), random_(settings.seed) {}

    RunOutcome execute();

private:
    void log(const std::string& line) {
        if (options_.logLine)
            options_.logLine(line);
        opt_.logText += line;
        opt_.logText += '\n';
    }
    bool stopRequested() const { return options_.runFlag && options_.runFlag->load() == 0; }
    void prepareGenes();
    Individual randomIndividual();
    void valuesOf(Individual& individual) const;
    void evaluate(std::vector<Individual>& individuals, const RunInput& input);
    bool better(const Individual& a, const Individual& b) const; // constrained dominance
    void rankAndCrowd(std::vector<Individual>& all) const;
    const Individual& tournament(const std::vector<Individual>& population);
    void crossover(Individual& a, Individual& b);
    void mutate(Individual& individual);
    FileResult save(const AnalysisModel& model, const std::string& name, Durability durability);

    Optimizer& opt_;
    const AnalysisModel& model_;
    const RunOptions& options_;
    const SearchSettings settings_;
    const std::vector<bool> senses_;
    Random random_;
    std::vector<double> low_, high_;         // each gene's bounds
    std::vector<std::vector<double>> grids_; // discrete: each parameter's values
    std::int64_t evaluations_ = 0, accepted_ = 0, fileFailures_ = 0;
    std::string lastFailure_;
    int unjudged_ = 0; // the violation of a variant not judged at all
    std::optional<ParetoFront> archive_;
};

void Search::prepareGenes() {
    for (const DesignParameter& p : opt_.parameters) {
        if (settings_.discrete) {
            // The grid run's values, reached by the same additions.
            const std::int64_t count = valueCount(p);
            std::vector<double> grid;
            double value = p.minValue - p.increment;
            for (std::int64_t k = 0; k < count; ++k)
                grid.push_back(value += p.increment);
            low_.push_back(0.0);
            high_.push_back(static_cast<double>(count - 1));
            grids_.push_back(std::move(grid));
        } else {
            low_.push_back(p.minValue);
            high_.push_back(p.maxValue);
        }
    }
}

void Search::valuesOf(Individual& individual) const {
    individual.values = individual.genes;
    if (!settings_.discrete)
        return;
    for (std::size_t i = 0; i < grids_.size(); ++i) {
        individual.genes[i] = std::round(individual.genes[i]);
        individual.values[i] = grids_[i][static_cast<std::size_t>(individual.genes[i])];
    }
}

Individual Search::randomIndividual() {
    Individual individual;
    for (std::size_t i = 0; i < low_.size(); ++i)
        individual.genes.push_back(low_[i] + random_.uniform() * (high_[i] - low_[i]));
    valuesOf(individual);
    return individual;
}

void Search::evaluate(std::vector<Individual>& individuals, const RunInput& input) {
    const std::size_t n = opt_.parameters.size();
    // Batches smaller than a run's: a generation's few dozen individuals still
    // spread over the threads.
    constexpr std::size_t kBatch = std::min<std::size_t>(RunInput::kBatchVariants, 16);
    const std::size_t batches = (individuals.size() + kBatch - 1) / kBatch;
    std::atomic<std::size_t> next{0};
    // Each individual's result lands in its own place: the outcome does not
    // depend on which thread evaluated it.
    auto work = [&] {
        RunInput::Workspace space(opt_.parameters);
        std::vector<double> values(kBatch * n);
        std::vector<double> objectives;
        bool accepted[kBatch];
        for (std::size_t b; (b = next.fetch_add(1)) < batches;) {
            const std::size_t first = b * kBatch;
            const std::size_t count = std::min(kBatch, individuals.size() - first);
            for (std::size_t i = 0; i < count; ++i)
                std::copy(individuals[first + i].values.begin(),
                          individuals[first + i].values.end(),
                          values.begin() + static_cast<std::ptrdiff_t>(i * n));
            input.evaluateBatch(values.data(), count, space, accepted);
            for (std::size_t i = 0; i < count; ++i) {
                Individual& individual = individuals[first + i];
                individual.objectives.clear();
                individual.feasible = accepted[i];
                const std::vector<int>& failed = space.failed(i);
                individual.violation = failed.size() == 1 && failed[0] < 0
                                           ? unjudged_
                                           : static_cast<int>(failed.size());
                if (!accepted[i])
                    continue;
                objectiveValues(space.variant(i), opt_.objectives, objectives);
                // Values that are not numbers cannot be ranked: the variant counts as
                // one that was not judged.
                if (std::any_of(objectives.begin(), objectives.end(),
                                [](double v) { return std::isnan(v); })) {
                    individual.feasible = false;
                    individual.violation = unjudged_;
                } else {
                    individual.objectives = objectives;
                }
            }
        }
    };
    unsigned threads = options_.threads > 0 ? static_cast<unsigned>(options_.threads)
                                            : std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, batches));
    // A thread that fails (memory ran out) ends the generation for all; the run
    // ends with that error.
    const std::exception_ptr failure =
        runOnThreads(static_cast<int>(threads), work, [&] { next.store(batches); });
    if (failure)
        std::rethrow_exception(failure);
    for (Individual& individual : individuals) {
        individual.evaluation = ++evaluations_;
        if (!individual.feasible)
            continue;
        ++accepted_;
        // A design evaluated again is one file, not two.
        if (!archive_->holdsParameters(individual.values.data()))
            archive_->offer(individual.evaluation, individual.values.data(),
                            individual.objectives.data());
    }
    if (options_.counters) {
        options_.counters->processed.store(evaluations_);
        options_.counters->matches.store(accepted_);
    }
}

bool Search::better(const Individual& a, const Individual& b) const {
    if (a.feasible != b.feasible)
        return a.feasible;
    if (!a.feasible)
        return a.violation < b.violation;
    return dominates(a.objectives.data(), b.objectives.data(), senses_);
}

void Search::rankAndCrowd(std::vector<Individual>& all) const {
    const std::size_t n = all.size();
    std::vector<std::vector<std::size_t>> beats(n);
    std::vector<int> beaten(n, 0);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j) {
            if (better(all[i], all[j])) {
                beats[i].push_back(j);
                ++beaten[j];
            } else if (better(all[j], all[i])) {
                beats[j].push_back(i);
                ++beaten[i];
            }
        }
    std::vector<std::size_t> front;
    for (std::size_t i = 0; i < n; ++i)
        if (beaten[i] == 0)
            front.push_back(i);
    for (int rank = 0; !front.empty(); ++rank) {
        std::vector<std::size_t> following;
        for (std::size_t i : front) {
            all[i].rank = rank;
            all[i].crowding = 0.0;
            for (std::size_t j : beats[i])
                if (--beaten[j] == 0)
                    following.push_back(j);
        }
        // Crowding distance over the objectives of the feasible members.
        if (all[front[0]].feasible) {
            for (std::size_t k = 0; k < senses_.size(); ++k) {
                std::vector<std::size_t> order = front;
                std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
                    return all[a].objectives[k] < all[b].objectives[k];
                });
                const double range =
                    all[order.back()].objectives[k] - all[order.front()].objectives[k];
                all[order.front()].crowding = all[order.back()].crowding =
                    std::numeric_limits<double>::infinity();
                if (!(range > 0.0) || !std::isfinite(range))
                    continue;
                for (std::size_t m = 1; m + 1 < order.size(); ++m)
                    all[order[m]].crowding +=
                        (all[order[m + 1]].objectives[k] - all[order[m - 1]].objectives[k]) / range;
            }
        }
        std::sort(following.begin(), following.end());
        front = std::move(following);
    }
}

const Individual& Search::tournament(const std::vector<Individual>& population) {
    const Individual& a = population[random_.below(population.size())];
    const Individual& b = population[random_.below(population.size())];
    if (a.rank != b.rank)
        return a.rank < b.rank ? a : b;
    return b.crowding > a.crowding ? b : a;
}

void Search::crossover(Individual& a, Individual& b) {
    if (random_.uniform() >= kCrossoverProbability)
        return;
    const double power = 1.0 / (kCrossoverEta + 1.0);
    for (std::size_t i = 0; i < low_.size(); ++i) {
        if (random_.uniform() >= 0.5)
            continue;
        const double lo = low_[i], hi = high_[i];
        double y1 = std::min(a.genes[i], b.genes[i]), y2 = std::max(a.genes[i], b.genes[i]);
        if (!(y2 - y1 > 1e-14 * std::max(1.0, std::fabs(y2))))
            continue;
        const double u = random_.uniform();
        auto spread = [&](double beta) {
            const double alpha = 2.0 - std::pow(beta, -(kCrossoverEta + 1.0));
            return u <= 1.0 / alpha ? std::pow(u * alpha, power)
                                    : std::pow(1.0 / (2.0 - u * alpha), power);
        };
        double c1 = 0.5 * ((y1 + y2) - spread(1.0 + 2.0 * (y1 - lo) / (y2 - y1)) * (y2 - y1));
        double c2 = 0.5 * ((y1 + y2) + spread(1.0 + 2.0 * (hi - y2) / (y2 - y1)) * (y2 - y1));
        c1 = std::clamp(c1, lo, hi);
        c2 = std::clamp(c2, lo, hi);
        if (random_.uniform() < 0.5)
            std::swap(c1, c2);
        a.genes[i] = c1;
        b.genes[i] = c2;
    }
}

void Search::mutate(Individual& individual) {
    const double probability = 1.0 / static_cast<double>(low_.size());
    const double power = 1.0 / (kMutationEta + 1.0);
    for (std::size_t i = 0; i < low_.size(); ++i) {
        if (random_.uniform() >= probability)
            continue;
        const double lo = low_[i], hi = high_[i];
        if (!(hi > lo))
            continue;
        double& y = individual.genes[i];
        const double r = random_.uniform();
        double delta;
        if (r < 0.5) {
            const double xy = 1.0 - (y - lo) / (hi - lo);
            delta =
                std::pow(2.0 * r + (1.0 - 2.0 * r) * std::pow(xy, kMutationEta + 1.0), power) - 1.0;
        } else {
            const double xy = 1.0 - (hi - y) / (hi - lo);
            delta =
                1.0 - std::pow(2.0 * (1.0 - r) + 2.0 * (r - 0.5) * std::pow(xy, kMutationEta + 1.0),
                               power);
        }
        y = std::clamp(y + delta * (hi - lo), lo, hi);
    }
}

FileResult Search::save(const AnalysisModel& model, const std::string& name,
                        Durability durability) {
    const std::string path = opt_.outputDirectory + "/" + name;
    FileResult r = options_.writeModelFile
                       ? options_.writeModelFile(model, opt_, path, durability)
                       : FileResult{"モデルファイルの書き込み手段が指定されていません"};
    if (!r.ok()) {
        ++fileFailures_;
        lastFailure_ = r.error;
        log("ファイルを保存できませんでした:\t" + path + "\t" + r.error);
    }
    return r;
}

RunOutcome Search::execute() {
    if (std::optional<RunOutcome> refused =
            refusedRun(opt_, model_, searchSettingsProblem(settings_, opt_)))
        return *refused;
    RunOutcome outcome;
    opt_.logText.clear();
    log(timestampLine("計算スタート日時：\t", std::time(nullptr)));
    for (const auto& line : conditionsLog(opt_, model_, options_.documentTitle))
        log(line);
    log("【進化的探索】");
    log("探索方法\tNSGA-II");
    log(format("個体数\t%d", settings_.population));
    log(format("世代数\t%d", settings_.generations));
    log(format("乱数の種\t%llu", static_cast<unsigned long long>(settings_.seed)));
    log(std::string("パラメータ値\t") +
        (settings_.discrete ? "離散(最小値から増分ごと)" : "連続(最小値～最大値)"));
    for (const Objective& o : opt_.objectives)
        log("目的関数\t" + objectiveLabel(o));
    save(model_, "original.quav", Durability::Synced);

    unjudged_ = static_cast<int>(enabledConditions(opt_.conditions).size()) + 1;
    archive_.emplace(senses_, opt_.parameters.size());
    prepareGenes();
    const auto population = static_cast<std::size_t>(settings_.population);
    if (options_.counters) {
        options_.counters->combinations.store(static_cast<std::int64_t>(population) *
                                              (settings_.generations + 1));
        options_.counters->processed.store(0);
        options_.counters->matches.store(0);
    }

    int status = RunFinished;
    std::string failure;
    try {
        const RunInput input(model_, opt_);
        std::vector<Individual> parents(population);
        for (Individual& individual : parents)
            individual = randomIndividual();
        evaluate(parents, input);
        rankAndCrowd(parents);
        for (int generation = 0; generation < settings_.generations; ++generation) {
            if (stopRequested()) {
                status = RunStopped;
                break;
            }
            std::vector<Individual> offspring;
            while (offspring.size() < population) {
                Individual a = tournament(parents), b = tournament(parents);
                crossover(a, b);
                for (Individual* child : {&a, &b}) {
                    mutate(*child);
                    valuesOf(*child);
                    if (offspring.size() < population)
                        offspring.push_back(std::move(*child));
                }
            }
            evaluate(offspring, input);
            std::vector<Individual> all = std::move(parents);
            all.insert(all.end(), std::make_move_iterator(offspring.begin()),
                       std::make_move_iterator(offspring.end()));
            rankAndCrowd(all);
            std::vector<std::size_t> order(all.size());
            std::iota(order.begin(), order.end(), std::size_t{0});
            std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
                if (all[a].rank != all[b].rank)
                    return all[a].rank < all[b].rank;
                return all[a].crowding > all[b].crowding;
            });
            parents.clear();
            for (std::size_t k = 0; k < population; ++k)
                parents.push_back(std::move(all[order[k]]));
            rankAndCrowd(parents);
        }
    } catch (...) {
        status = RunFailed;
        failure = failureReason(std::current_exception());
    }

    // The front, numbered in pareto.csv's order, each variant calculated again
    // for its file.
    std::vector<ParetoMember> front = archive_->members();
    log("【パレート解】");
    log("ファイル名\tパラメータ値(ID順)\t目的関数値");
    log(std::string(67, '-'));
    const RunInput input(model_, opt_);
    AnalysisModel variant;
    std::vector<std::vector<double>> points;
    for (std::size_t k = 0; k < front.size(); ++k) {
        ParetoMember& m = front[k];
        m.number = static_cast<std::int64_t>(k + 1);
        const std::string name = format("No%lld.quav", static_cast<long long>(m.number));
        setValues(opt_.parameters, m.parameters.data());
        if (input.evaluate(opt_.parameters, variant))
            save(variant, name, Durability::Unsynced);
        std::string line = name;
        for (double v : m.parameters)
            appendFormat(line, "\t%g", v);
        for (double v : m.objectives)
            appendFormat(line, "\t%.17g", v);
        log(line);
        points.push_back(m.objectives);
    }
    log("");
    if (status != RunFinished) {
        log(runStatusMessage(status) + (failure.empty() ? "" : "：" + failure));
        log(timestampLine("計算中止日時：\t", std::time(nullptr)));
    } else {
        log(timestampLine("計算終了日時：\t", std::time(nullptr)));
    }
    log(format("評価回数\t%lld", static_cast<long long>(evaluations_)));
    log(format("条件一致数\t%lld", static_cast<long long>(accepted_)));
    log(format("パレート解の数\t%zu", front.size()));
    if ((senses_.size() == 2 || senses_.size() == 3) && !points.empty()) {
        const std::vector<double> reference = referencePoint(points, senses_);
        std::string line =
            format("ハイパーボリューム\t%.17g\t参照点\t", hypervolume(points, senses_, reference));
        for (std::size_t k = 0; k < reference.size(); ++k)
            appendFormat(line, k ? " %.17g" : "%.17g", reference[k]);
        log(line);
    }

    const FileResult csv = writeFileAtomically(
        opt_.outputDirectory + "/" + kParetoFile,
        paretoCsv(front, parameterNames(opt_.parameters), objectiveNames(opt_.objectives)));
    if (!csv.ok()) {
        ++fileFailures_;
        lastFailure_ = csv.error;
    }
    const FileResult written =
        writeFileAtomically(opt_.outputDirectory + "/log.txt", logFileBytes(opt_.logText));
    if (!written.ok()) {
        ++fileFailures_;
        lastFailure_ = written.error;
    }
    opt_.resetValues();
    opt_.combinationCount = static_cast<std::int64_t>(population) * (settings_.generations + 1);
    opt_.processedCount = evaluations_;
    opt_.matchCount = static_cast<std::int64_t>(front.size());

    outcome.status = status;
    outcome.fileFailures = fileFailures_;
    outcome.message = runEndMessage(status, failure, fileFailures_, lastFailure_);
    return outcome;
}

/// The points as values to minimise.
std::vector<std::vector<double>> minimised(const std::vector<std::vector<double>>& points,
                                           const std::vector<bool>& maximise) {
    std::vector<std::vector<double>> out = points;
    for (auto& p : out)
        for (std::size_t k = 0; k < maximise.size(); ++k)
            if (maximise[k])
                p[k] = -p[k];
    return out;
}

/// The area two-objective points (to minimise) dominate up to (r0, r1).
long double area(std::vector<std::pair<double, double>> points, double r0, double r1) {
    std::sort(points.begin(), points.end());
    long double sum = 0.0L;
    double lowest = r1; // of the second objective so far
    for (const auto& [a, b] : points) {
        if (!(a < r0) || !(b < lowest))
            continue;
        sum += static_cast<long double>(r0 - a) * (lowest - b);
        lowest = b;
    }
    return sum;
}

} // namespace

std::string searchSettingsProblem(const SearchSettings& s, const Optimizer& optimizer) {
    std::string problems;
    if (optimizer.objectives.empty())
        problems += "進化的探索には目的関数が必要です\n";
    if (optimizer.parameters.empty())
        problems += "進化的探索にはパラメータが必要です\n";
    if (s.population < 4 || s.population > kMaxPopulation || s.population % 2 != 0)
        problems += format("個体数は4～%dの偶数です\n", kMaxPopulation);
    if (s.generations < 1 || s.generations > kMaxGenerations)
        problems += format("世代数は1～%dです\n", kMaxGenerations);
    if (s.discrete)
        for (const DesignParameter& p : optimizer.parameters)
            if (valueCount(p) > kMaxDiscreteValues)
                problems += elementLabel("ﾊﾟﾗﾒｰﾀ", p.name, p.id) +
                            format(": 離散探索の値は%lld個までです\n",
                                   static_cast<long long>(kMaxDiscreteValues));
    return problems;
}

std::vector<double> referencePoint(const std::vector<std::vector<double>>& points,
                                   const std::vector<bool>& maximise) {
    std::vector<double> reference;
    for (std::size_t k = 0; k < maximise.size(); ++k) {
        double best = points.front()[k], worst = best;
        for (const auto& p : points) {
            const bool worse = maximise[k] ? p[k] < worst : p[k] > worst;
            const bool better = maximise[k] ? p[k] > best : p[k] < best;
            worst = worse ? p[k] : worst;
            best = better ? p[k] : best;
        }
        const double margin = worst != best ? std::fabs(worst - best) / 10.0 : 1.0;
        reference.push_back(maximise[k] ? worst - margin : worst + margin);
    }
    return reference;
}

double hypervolume(const std::vector<std::vector<double>>& points,
                   const std::vector<bool>& maximise, const std::vector<double>& reference) {
    const auto p = minimised(points, maximise);
    std::vector<double> r = reference;
    for (std::size_t k = 0; k < maximise.size(); ++k)
        if (maximise[k])
            r[k] = -r[k];
    if (maximise.size() == 2) {
        std::vector<std::pair<double, double>> flat;
        flat.reserve(p.size());
        for (const auto& q : p)
            flat.emplace_back(q[0], q[1]);
        return static_cast<double>(area(flat, r[0], r[1]));
    }
    if (maximise.size() != 3)
        return std::numeric_limits<double>::quiet_NaN();
    // Slices along the third objective: between two successive levels, the area
    // the points at or below the lower level dominate.
    std::vector<double> levels;
    for (const auto& q : p)
        if (q[2] < r[2])
            levels.push_back(q[2]);
    std::sort(levels.begin(), levels.end());
    levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
    long double volume = 0.0L;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        std::vector<std::pair<double, double>> slice;
        for (const auto& q : p)
            if (q[2] <= levels[i])
                slice.emplace_back(q[0], q[1]);
        const double top = i + 1 < levels.size() ? levels[i + 1] : r[2];
        volume += area(slice, r[0], r[1]) * (top - levels[i]);
    }
    return static_cast<double>(volume);
}

RunOutcome runEvolutionarySearch(Optimizer& optimizer, const AnalysisModel& model,
                                 const RunOptions& options, const SearchSettings& settings) {
    Search search(optimizer, model, options, settings);
    return search.execute();
}

} // namespace quav
