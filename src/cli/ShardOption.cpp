#include "cli/ShardOption.h"

#include "model/TextFormat.h"
#include "optimizer/StudyShards.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quav {

namespace {

bool parseNumber(std::string_view digits, std::int64_t& value) {
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return !digits.empty() && ec == std::errc() && end == digits.data() + digits.size();
}

/// What one scheduler's variables say.
struct Found {
    std::string source;
    std::int64_t index = 0; // K
    std::int64_t count = 0; // N
    std::string problem;
};

class Variables {
public:
    explicit Variables(const Environment& environment) : environment_(environment) {}

    /// True when `name` is set to something other than `unset` ("undefined"
    /// for Grid Engine outside arrays, "0" for LSF).
    bool present(const char* name, const char* unset = nullptr) const {
        const char* value = environment_(name);
        return value && (!unset || std::string_view(value) != unset);
    }
    /// The integer `name` holds; `fallback` when it is not set (-1: required).
    bool number(const char* name, std::int64_t& value, Found& found,
                std::int64_t fallback = -1) const {
        const char* text = environment_(name);
        if (!text && fallback >= 0) {
            value = fallback;
            return true;
        }
        if (!text)
            found.problem = std::string(name) + " is not set";
        else if (!parseNumber(text, value))
            found.problem = std::string(name) + " is not an integer: " + text;
        return found.problem.empty();
    }

private:
    const Environment& environment_;
};

/// An array of indices first, first + step, ... last.
void fromArray(Found& f, std::int64_t id, std::int64_t first, std::int64_t last,
               std::int64_t step) {
    if (step < 1 || first > last || (last - first) % step != 0 || id < first || id > last ||
        (id - first) % step != 0) {
        f.problem = format("index %lld is not one of %lld to %lld in steps of %lld",
                           static_cast<long long>(id), static_cast<long long>(first),
                           static_cast<long long>(last), static_cast<long long>(step));
        return;
    }
    f.index = (id - first) / step + 1;
    f.count = (last - first) / step + 1;
}

std::vector<Found> readSchedulers(const Variables& v) {
    std::vector<Found> all;
    std::int64_t id = 0, first = 0, last = 0, step = 1, count = 0;
    if (v.present("SLURM_ARRAY_TASK_ID")) {
        Found f;
        f.source = "Slurm";
        if (v.number("SLURM_ARRAY_TASK_ID", id, f) && v.number("SLURM_ARRAY_TASK_MIN", first, f) &&
            v.number("SLURM_ARRAY_TASK_MAX", last, f) &&
            v.number("SLURM_ARRAY_TASK_STEP", step, f, 1))
            fromArray(f, id, first, last, step);
        // A list of indices (--array=1,4,9) has no step that reaches them all.
        if (f.problem.empty() && v.number("SLURM_ARRAY_TASK_COUNT", count, f, f.count) &&
            count != f.count)
            f.problem = format("the array has %lld tasks, not %lld from %lld to %lld: give "
                               "--array a range",
                               static_cast<long long>(count), static_cast<long long>(f.count),
                               static_cast<long long>(first), static_cast<long long>(last));
        all.push_back(f);
    }
    if (v.present("SGE_TASK_ID", "undefined")) {
        Found f;
        f.source = "Grid Engine";
        if (v.number("SGE_TASK_ID", id, f) && v.number("SGE_TASK_FIRST", first, f) &&
            v.number("SGE_TASK_LAST", last, f) && v.number("SGE_TASK_STEPSIZE", step, f, 1))
            fromArray(f, id, first, last, step);
        all.push_back(f);
    }
    if (v.present("LSB_JOBINDEX", "0")) {
        Found f;
        f.source = "LSF";
        if (v.number("LSB_JOBINDEX", id, f) && v.number("LSB_JOBINDEX_END", last, f) &&
            v.number("LSB_JOBINDEX_STEP", step, f, 1))
            fromArray(f, id, 1, last, step);
        all.push_back(f);
    }
    for (const char* name : {"PBS_ARRAY_INDEX", "PBS_ARRAYID"}) {
        if (!v.present(name))
            continue;
        Found f;
        f.source = "PBS";
        if (v.present("QUAV_SHARD_COUNT") && v.number(name, id, f) &&
            v.number("QUAV_SHARD_COUNT", last, f))
            fromArray(f, id, 1, last, 1);
        else if (f.problem.empty())
            f.problem = "a PBS array gives no size: pass it as QUAV_SHARD_COUNT";
        all.push_back(f);
    }
    if (v.present("QUAV_SHARD_INDEX")) {
        Found f;
        f.source = "QUAV_SHARD_INDEX";
        if (v.number("QUAV_SHARD_INDEX", id, f) && v.number("QUAV_SHARD_COUNT", count, f))
            fromArray(f, id, 0, count - 1, 1);
        all.push_back(f);
    }
    const char* mpi[][3] = {{"Open MPI", "OMPI_COMM_WORLD_RANK", "OMPI_COMM_WORLD_SIZE"},
                            {"MPICH", "PMI_RANK", "PMI_SIZE"}};
    for (const auto& [source, rank, size] : mpi) {
        if (!v.present(rank) && !v.present(size))
            continue;
        Found f;
        f.source = source;
        if (v.number(rank, id, f) && v.number(size, count, f))
            fromArray(f, id, 0, count - 1, 1);
        all.push_back(f);
    }
    return all;
}

std::string describe(const Found& f) {
    return format("%lld/%lld from ", static_cast<long long>(f.index),
                  static_cast<long long>(f.count)) +
           f.source;
}

} // namespace

bool parseShard(const std::string& text, int& index, int& count) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos)
        return false;
    std::int64_t k = 0, n = 0;
    const std::string_view all(text);
    if (!parseNumber(all.substr(0, slash), k) || !parseNumber(all.substr(slash + 1), n) || k < 1 ||
        k > n || n > kMaxShards)
        return false;
    index = static_cast<int>(k);
    count = static_cast<int>(n);
    return true;
}

ShardChoice shardFromEnvironment(const Environment& environment) {
    ShardChoice choice;
    const std::vector<Found> all = readSchedulers(Variables(environment));
    if (all.empty()) {
        choice.error = "--shard auto: no scheduler array or MPI variables are set (Slurm, Grid "
                       "Engine, LSF, PBS with QUAV_SHARD_COUNT, QUAV_SHARD_INDEX with "
                       "QUAV_SHARD_COUNT, Open MPI, MPICH); give --shard K/N";
        return choice;
    }
    const Found* chosen = nullptr;
    for (const Found& f : all) {
        if (!f.problem.empty()) {
            choice.error = "--shard auto: " + f.source + ": " + f.problem;
            return choice;
        }
        if (f.count > kMaxShards) {
            choice.error =
                "--shard auto: " + f.source +
                format(": %lld parts, more than %d", static_cast<long long>(f.count), kMaxShards);
            return choice;
        }
        // One process of its own launcher splits nothing: an array around it does.
        if (!chosen || (chosen->count == 1 && f.count > 1)) {
            chosen = &f;
        } else if (f.count > 1 && (f.index != chosen->index || f.count != chosen->count)) {
            choice.error = "--shard auto: the variables disagree: " + describe(*chosen) + ", " +
                           describe(f) + "; give --shard K/N";
            return choice;
        }
    }
    choice.index = static_cast<int>(chosen->index);
    choice.count = static_cast<int>(chosen->count);
    choice.source = chosen->source;
    return choice;
}

ShardChoice chooseShard(const std::string& text, const Environment& environment) {
    if (text == "auto")
        return shardFromEnvironment(environment);
    ShardChoice choice;
    if (!parseShard(text, choice.index, choice.count))
        choice.error =
            "--shard: expected K/N with 1 <= K <= N <= " + std::to_string(kMaxShards) + ", or auto";
    return choice;
}

} // namespace quav
