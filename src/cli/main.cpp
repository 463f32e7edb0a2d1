// quav-cli: the batch front end over the QUAV core.
#include "analysis/CalculationDriver.h"
#include "analysis/FrequencyStepCurve.h"
#include "cli/AnalysisCommands.h"
#include "cli/CommandOutput.h"
#include "cli/Interrupts.h"
#include "cli/NumberOptions.h"
#include "cli/Progress.h"
#include "cli/ShardOption.h"
#include "cli/TableCommand.h"
#include "document/Document.h"
#include "document/ModelFile.h"
#include "exchange/BulkDataReader.h"
#include "exchange/BulkDataWriter.h"
#include "exchange/ModelJson.h"
#include "exchange/ModelJsonFile.h"
#include "exchange/UniversalFile.h"
#include "model/FileIo.h"
#include "model/TextFormat.h"
#include "optimizer/OptimizerRun.h"
#include "optimizer/StudyCheck.h"
#include "optimizer/StudyPlan.h"
#include "optimizer/StudyShards.h"
#include "reports/Reports.h"
#include "version/Version.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quav;

namespace {

enum ExitCode : int { ExitOk = 0, ExitRunError = 1, ExitInputError = 2 };

std::atomic<int> interrupted{0};

extern "C" void onInterrupt(int) {
    interrupted.store(1);
}

bool hasExtension(const std::string& path, const char* ext) {
    std::string e = fs::path(path).extension().string();
    for (auto& ch : e)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return e == ext;
}

/// A model with its optimiser block, from a .quav or a .json file.
struct LoadedModel {
    std::unique_ptr<AnalysisModel> model;
    Optimizer optimizer;
};

bool load(const std::string& path, LoadedModel& out) {
    if (hasExtension(path, ".json")) {
        JsonModel j = readJsonModelFile(path);
        if (!j.ok()) {
            std::cerr << "quav-cli: " << path << ": " << j.error << "\n";
            return false;
        }
        out.model = std::move(j.model);
        out.optimizer = std::move(j.optimizer);
    } else {
        ModelReadResult r = loadModelFile(path);
        if (!r.ok()) {
            std::cerr << "quav-cli: cannot open " << path << ": " << r.error << "\n";
            return false;
        }
        out.model = std::move(r.model);
        out.optimizer = std::move(r.optimizer);
    }
    out.optimizer.model = out.model.get();
    return true;
}

bool save(const LoadedModel& m, const std::string& path) {
    const FileResult r = hasExtension(path, ".json")
                             ? saveModelJsonFile(*m.model, m.optimizer, path)
                             : saveModelFile(*m.model, m.optimizer, path);
    if (!r.ok()) {
        std::cerr << "quav-cli: cannot write " << path << ": " << r.error << "\n";
        return false;
    }
    return true;
}

/// Stdout for a report, as UTF-8 or as CP932 bytes; a report goes out as it is
/// made and stops when stdout fails.
TextSink reportOutput(const std::string& encoding) {
    if (encoding == "cp932")
        return [](std::string_view piece) { return writeOut(reportToCp932(std::string(piece))); };
    return writeOut;
}

// ---------------------------------------------------------------- commands --

int cmdCalc(const std::string& in, const std::string& out, const std::vector<std::string>& only,
            const std::optional<double>& start, const std::optional<double>& end,
            const std::optional<double>& step) {
    LoadedModel m;
    if (!load(in, m))
        return ExitInputError;
    CalculationConditions conditions;
    if (!only.empty()) {
        conditions.eigen = conditions.staticAnalysis = conditions.dynamic =
            conditions.frequencyStep = 0;
        for (const auto& a : only) {
            if (a == "eigen")
                conditions.eigen = 1;
            else if (a == "static")
                conditions.staticAnalysis = 1;
            else if (a == "dynamic")
                conditions.dynamic = 1;
            else if (a == "sweep")
                conditions.frequencyStep = 1;
        }
    }
    AnalysisModel& model = *m.model;
    if (start || end || step)
        model.setFrequencyRange(end.value_or(model.frequencyEnd),
                                start.value_or(model.frequencyStart),
                                step.value_or(model.frequencyStep));
    const CalculationOutcome outcome = calculate(model, conditions);
    if (outcome.status != 0) {
        writeOut("ｴﾗｰ\n");
        const std::string reasons = describeCalculationFailure(outcome);
        std::cerr << reasons << (reasons.ends_with('\n') ? "" : "\n");
        return ExitRunError;
    }
    writeOut("計算終了\n");
    std::cerr << describeCalculationNotes(outcome);
    return save(m, out) ? ExitOk : ExitInputError;
}

int cmdReport(const std::string& file, const std::string& encoding, int which) {
    LoadedModel m;
    if (!load(file, m))
        return ExitInputError;
    const TextSink out = reportOutput(encoding);
    if (which == 0) {
        writeResultsReport(*m.model, out);
    } else if (which == 1) {
        const FileTimes times = fileTimes(file);
        writeInputListing(*m.model, fs::path(file).filename().string(), times.created,
                          times.modified, out);
    } else {
        out(elasticCentreReport(*m.model));
    }
    return ExitOk; // a failed write is reported when the output is finished
}

int cmdDump(const std::string& file) {
    LoadedModel m;
    if (!load(file, m))
        return ExitInputError;
    const std::string problem = writeModelJson(*m.model, m.optimizer, writeOut);
    if (problem.empty())
        return ExitOk;
    // A failed write is reported when the output is finished.
    if (!std::ferror(stdout))
        std::cerr << "quav-cli: " << file << ": " << problem << "\n";
    return ExitInputError;
}

int cmdConvert(const std::string& in, const std::string& out) {
    LoadedModel m;
    if (!load(in, m))
        return ExitInputError;
    return save(m, out) ? ExitOk : ExitInputError;
}

int cmdExport(const std::string& in, const std::string& out) {
    LoadedModel m;
    if (!load(in, m))
        return ExitInputError;
    const BulkDataDeck deck = writeBulkData(*m.model);
    if (!deck.ok()) {
        std::cerr << "quav-cli: " << in << ": cannot export: " << deck.error << "\n";
        return ExitInputError;
    }
    const FileResult r = writeFileAtomically(out, deck.text);
    if (!r.ok()) {
        std::cerr << "quav-cli: cannot write " << out << ": " << r.error << "\n";
        return ExitInputError;
    }
    return ExitOk;
}

int cmdImport(const std::string& in, const std::string& out) {
    BulkDataImport imported = readBulkDataFile(in);
    if (!imported.ok()) {
        std::cerr << "quav-cli: " << in << ": " << imported.error << "\n";
        return ExitInputError;
    }
    for (const std::string& w : imported.warnings)
        std::cerr << "quav-cli: " << in << ": warning: " << w << "\n";
    LoadedModel m;
    m.model = std::move(imported.model);
    m.optimizer.model = m.model.get();
    return save(m, out) ? ExitOk : ExitInputError;
}

bool writeShardRecord(const std::string& outDir, const ShardRecord& record) {
    const std::string path = outDir + "/" + kShardRecordFile;
    const FileResult r = writeFileAtomically(path, shardRecordText(record));
    if (!r.ok())
        std::cerr << "quav-cli: cannot write " << path << ": " << r.error << "\n";
    return r.ok();
}

int cmdOptimize(const std::string& file, const std::string& outDir, int threads,
                const std::string& shard) {
    ShardChoice part;
    if (!shard.empty()) {
        part = chooseShard(shard, [](const char* name) { return std::getenv(name); });
        if (!part.ok()) {
            std::cerr << "quav-cli: " << part.error << "\n";
            return ExitInputError;
        }
    }
    LoadedModel m;
    if (!load(file, m))
        return ExitInputError;
    // Refused before the folder is touched: bad ranges are the user's input, a
    // model no binding can make physical is the calculation's refusal.
    if (const StudyRefusal refusal = checkStudy(m.optimizer, *m.model); !refusal.ok()) {
        std::cerr << "quav-cli: " << runStatusMessage(RunRefused) << "\n" << refusal.text();
        return refusal.settings.empty() ? ExitRunError : ExitInputError;
    }
    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (!fs::is_directory(outDir)) {
        std::cerr << "quav-cli: cannot create the output directory " << outDir << "\n";
        return ExitInputError;
    }
    // Held until the end, shard records included: a second run into the folder
    // would mix its files with this one's.
    const RunDirectoryLock lock(outDir);
    if (!lock.held()) {
        std::cerr << "quav-cli: " << lock.refusal() << "\n";
        return ExitInputError;
    }
    m.optimizer.outputDirectory = outDir;
    // A shard records what it covered, so that merge can tell a complete set; a
    // folder run whole is no shard, whatever it held before.
    ShardRecord record;
    if (shard.empty()) {
        fs::remove(outDir + "/" + kShardRecordFile, ec);
    } else {
        record.index = record.last = part.index;
        record.count = part.count;
        record.build = std::string(buildVersion());
        record.combinations = walkedCombinations(m.optimizer.parameters);
        record.range = shardRange(record.combinations, record.index, record.count);
        record.started = std::time(nullptr);
        if (!writeShardRecord(outDir, record))
            return ExitInputError;
    }

    // A closed terminal stops the run as Ctrl-C does, and a closed stderr only
    // ends the progress display: either way the run ends with its log.
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, onInterrupt);
    std::signal(SIGPIPE, SIG_IGN);
    ProgressDisplay progress(stderr, isatty(fileno(stderr)) != 0);
    OptimizerRunner runner(saveModelFile);
    runner.start(m.optimizer, *m.model, fs::path(file).filename().string(), nullptr, threads,
                 shard.empty() ? CombinationRange{} : record.range);
    bool stopRequested = false;
    while (runner.isRunning()) {
        if (interrupted.load() && !stopRequested) {
            runner.stop();
            stopRequested = true;
            progress.note("中止しています...");
        }
        progress.update(runner.counters());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    runner.wait();
    progress.finish(runner.counters());
    const RunOutcome outcome = runner.lastOutcome();
    // What each condition rejected and the closest variant, as log.txt ends.
    for (const std::string& line : outcome.summary)
        std::cerr << line << "\n";
    std::cerr << outcome.message << "\n";
    if (!shard.empty()) {
        record.processed = m.optimizer.processedCount;
        record.matches = m.optimizer.matchCount;
        const bool failed = outcome.status != RunFinished || outcome.fileFailures > 0;
        record.status = outcome.status == RunStopped ? ShardStatus::Stopped
                        : failed                     ? ShardStatus::Failed
                                                     : ShardStatus::Finished;
        record.ended = std::time(nullptr);
        if (!writeShardRecord(outDir, record) && outcome.status == RunFinished)
            return ExitRunError;
    }
    if (outcome.status == RunStopped)
        return ExitInputError;
    return outcome.status == RunFinished && outcome.fileFailures == 0 ? ExitOk : ExitRunError;
}

/// Prints how big a study is and how long each of `shards` parts would take,
/// from a timed sample of about two seconds.
int cmdPlan(const std::string& file, int shards, int threads, bool json) {
    LoadedModel m;
    if (!load(file, m))
        return ExitInputError;
    constexpr double kSampleSeconds = 2.0;
    const StudySample sample = sampleStudy(m.optimizer, *m.model, threads, kSampleSeconds);
    // The last part is the largest: the others hold as many combinations or one fewer.
    const CombinationRange lastPart = shardRange(sample.combinations, shards, shards);
    const std::int64_t perShard = lastPart.end - lastPart.begin;
    const double shardSeconds = static_cast<double>(perShard) * sample.secondsPerVariant();
    const double acceptedShare =
        sample.sampled > 0 ? static_cast<double>(sample.accepted) / sample.sampled : 0.0;
    auto clock = [](double seconds) {
        const long long s = std::llround(seconds);
        return format("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    };
    if (json) {
        writeOut(format("{\"combinations\": %lld, \"shards\": %d, \"combinationsPerShard\": "
                        "%lld, \"threads\": %d, \"sampled\": %lld, \"sampleAccepted\": %lld, "
                        "\"sampleSeconds\": %.3f, \"secondsPerShard\": %.1f, "
                        "\"acceptedPerShard\": %.0f}\n",
                        static_cast<long long>(sample.combinations), shards,
                        static_cast<long long>(perShard), sample.threads,
                        static_cast<long long>(sample.sampled),
                        static_cast<long long>(sample.accepted), sample.seconds, shardSeconds,
                        acceptedShare * static_cast<double>(perShard)));
        return ExitOk;
    }
    writeOut(format("combinations\t%lld\nshards\t%d\ncombinations per shard\t%lld\n"
                    "sample\t%lld variants in %.2f s on %d threads, %lld accepted\n"
                    "time per shard\t%s (%.1f s, estimate on %d threads, files not counted)\n"
                    "accepted per shard\t%.1f (estimate)\n",
                    static_cast<long long>(sample.combinations), shards,
                    static_cast<long long>(perShard), static_cast<long long>(sample.sampled),
                    sample.seconds, sample.threads, static_cast<long long>(sample.accepted),
                    clock(shardSeconds).c_str(), shardSeconds, sample.threads,
                    acceptedShare * static_cast<double>(perShard)));
    return ExitOk;
}

int cmdMerge(const std::vector<std::string>& shardDirs, const std::string& outDir, bool partial) {
    // Every folder is held open (and locked) while the merge reads it: let a
    // merge of many shards have the descriptors the system allows.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    // A stop ends the merge between two files; it then removes what it wrote.
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, onInterrupt);
    MergeOptions options;
    options.partial = partial;
    options.modelFormat = modelFormatVersion;
    options.stop = &interrupted;
    const MergeOutcome merged = mergeShards(shardDirs, outDir, options);
    switch (merged.status) {
    case MergeStatus::Merged:
        writeOut(merged.message + "\n");
        return ExitOk;
    case MergeStatus::Refused:
        std::cerr << "quav-cli: merge refused: " << merged.message << "\n";
        return ExitInputError;
    case MergeStatus::Failed:
        break;
    }
    std::cerr << "quav-cli: merge failed: " << merged.message << "\n";
    return interrupted.load() ? ExitInputError : ExitRunError;
}

int cmdSweep(const std::string& file, int loadNumber, std::optional<int> objectId,
             const std::string& frame, const std::string& dofName, const std::string& format,
             const std::string& outPath) {
    if (format == "uff" && outPath.empty()) {
        std::cerr << "quav-cli sweep: --format uff needs -o (the universal file to write)\n";
        return ExitInputError;
    }
    LoadedModel m;
    if (!load(file, m))
        return ExitInputError;
    const AnalysisModel& model = *m.model;
    if (loadNumber < 1 || loadNumber > static_cast<int>(model.dynamicLoads.size())) {
        std::cerr << "quav-cli: --load must be between 1 and " << model.dynamicLoads.size()
                  << " (the model's dynamic loads)\n";
        return ExitInputError;
    }
    if (format == "uff") {
        const UniversalFile uff =
            writeResponseUniversalFile(model, loadNumber - 1, std::time(nullptr));
        if (!uff.ok()) {
            std::cerr << "quav-cli: " << file << ": " << uff.error << "\n";
            return uff.calculationFailed ? ExitRunError : ExitInputError;
        }
        const FileResult r = writeFileAtomically(outPath, uff.text);
        if (!r.ok()) {
            std::cerr << "quav-cli: cannot write " << outPath << ": " << r.error << "\n";
            return ExitInputError;
        }
        return ExitOk;
    }
    static const char* const names[6] = {"x", "y", "z", "Rx", "Ry", "Rz"};
    int dof = -1;
    for (int i = 0; i < 6; ++i)
        if (dofName == names[i])
            dof = i;
    CurveTarget target;
    target.position = model.centreOfGravity;
    if (objectId && *objectId != model.massElementId) {
        bool found = false;
        for (const auto& s : model.springs)
            if (!found && s.id == *objectId) {
                target.position = s.position;
                target.spring = &s;
                found = true;
            }
        for (const auto& p : model.observationPoints)
            if (!found && p.id == *objectId) {
                target.position = p.position;
                found = true;
            }
        for (const auto& l : model.staticLoads)
            if (!found && l.id == *objectId) {
                target.position = l.position;
                found = true;
            }
        for (const auto& l : model.dynamicLoads)
            if (!found && l.id == *objectId) {
                target.position = l.position;
                found = true;
            }
        if (!found) {
            std::cerr << "quav-cli: no spring, observation point or load has id " << *objectId
                      << "\n";
            return ExitInputError;
        }
    }
    if (frame == "local") {
        if (!target.spring) {
            std::cerr << "quav-cli: --frame local needs a spring element as --object\n";
            return ExitInputError;
        }
        if (dof > 2) {
            std::cerr << "quav-cli: in the local frame only x, y and z can be shown\n";
            return ExitInputError;
        }
        target.local = true;
    }
    if (!model.hasFrequencyStepResults())
        std::cerr << "quav-cli: the model has no frequency-step results (run quav-cli calc with "
                     "the sweep); every value is 0\n";
    std::string out = "frequency,value\n";
    for (const auto& p : frequencyStepCurve(model, loadNumber - 1, target, dof))
        appendFormat(out, "%.17g,%.17g\n", p.frequency, p.value);
    writeOut(out);
    return ExitOk;
}

int cmdTable(const std::string& file, int id, const std::string& csv, bool clear,
             const std::string& out) {
    const bool edit = !csv.empty() || clear;
    if (edit && out.empty()) {
        std::cerr << "quav-cli table: --csv and --clear need -o (the model file to write)\n";
        return ExitInputError;
    }
    if (!edit && !out.empty()) {
        std::cerr << "quav-cli table: -o needs --csv or --clear\n";
        return ExitInputError;
    }
    LoadedModel m;
    if (!load(file, m))
        return ExitInputError;
    const TableEdit result = tableCommand(*m.model, id, csv, clear);
    if (result.exitCode != ExitOk || !result.changed)
        return result.exitCode;
    return save(m, out) ? ExitOk : ExitInputError;
}

int run(int argc, char** argv) {
    CLI::App app{"quav-cli: natural frequencies, static and harmonic responses and the optimiser "
                 "of a rigid body on elastic mounts, from the command line"};
    app.require_subcommand(1);
    app.set_version_flag("--version", versionText("quav-cli"));
    app.footer("Exit codes: 0 success; 1 calculation or run error (an optimiser run whose files "
               "cannot be written stops with 1); 2 usage, input or file error, an output "
               "directory another optimiser run is using, or a run stopped by Ctrl-C, SIGTERM or "
               "SIGHUP.");

    std::string in, out, encoding = "utf-8", frame = "global", dof = "x";
    std::vector<std::string> only;
    std::optional<double> start, end, step;
    std::optional<int> object;
    int loadNumber = 0;

    auto* calc = app.add_subcommand("calc", "Run the calculation and write the model with results");
    calc->add_option("IN", in, "Model file (.quav or .json)")->required()->check(CLI::ExistingFile);
    calc->add_option("-o,--output", out, "Output model file (.quav or .json); may equal IN")
        ->required();
    calc->add_option("--only", only, "Analyses to run (default all)")
        ->delimiter(',')
        ->check(CLI::IsMember({"eigen", "static", "dynamic", "sweep"}));
    calc->add_option("--start", start, "Sweep start frequency [Hz]")->check(finiteNumber());
    calc->add_option("--end", end, "Sweep end frequency [Hz]")->check(finiteNumber());
    calc->add_option("--step", step, "Sweep frequency increment [Hz]")->check(finiteNumber());

    std::vector<CLI::App*> reports;
    const char* reportNames[3][2] = {{"report", "Print the results report"},
                                     {"listing", "Print the input data listing"},
                                     {"elastic", "Print the elastic centre report"}};
    for (auto& r : reportNames) {
        auto* c = app.add_subcommand(r[0], r[1]);
        c->add_option("FILE", in, "Model file (.quav or .json)")
            ->required()
            ->check(CLI::ExistingFile);
        c->add_option("--encoding", encoding, "utf-8 (default) or cp932 (raw bytes)")
            ->check(CLI::IsMember({"utf-8", "cp932"}));
        reports.push_back(c);
    }

    auto* dump = app.add_subcommand("dump", "Print the whole model as JSON");
    dump->add_option("FILE", in, "Model file")->required()->check(CLI::ExistingFile);

    auto* convert = app.add_subcommand("convert", "Convert between .quav and .json by extension");
    convert->add_option("IN", in, "Input model file")->required()->check(CLI::ExistingFile);
    convert->add_option("OUT", out, "Output model file")->required();

    auto* exportDeck = app.add_subcommand(
        "export", "Write the model as a bulk-data deck (large field, SOL 103, or SOL 111 with "
                  "the dynamic loads)");
    exportDeck->add_option("FILE", in, "Model file (.quav or .json)")
        ->required()
        ->check(CLI::ExistingFile);
    std::string exportFormat;
    exportDeck->add_option("--format", exportFormat, "nastran")
        ->required()
        ->check(CLI::IsMember({"nastran"}));
    exportDeck->add_option("-o,--output", out, "Output deck (.bdf)")->required();

    auto* importDeck = app.add_subcommand(
        "import", "Read a rigid body on springs from a bulk-data deck and write it as a model");
    importDeck->add_option("DECK", in, "Bulk-data deck (.bdf, .dat, .nas)")
        ->required()
        ->check(CLI::ExistingFile);
    importDeck->add_option("-o,--output", out, "Output model file (.quav or .json)")->required();

    auto* optimize = app.add_subcommand("optimize", "Run the optimiser into a directory");
    optimize->add_option("FILE", in, "Model file with parameters, bindings and conditions")
        ->required()
        ->check(CLI::ExistingFile);
    optimize->add_option("--out", out,
                         "Output directory (created when missing); required "
                         "unless --plan");
    int threads = 0;
    optimize
        ->add_option("--threads", threads,
                     "Threads that evaluate variants (default: one per hardware thread); the "
                     "outputs do not depend on it")
        ->check(integerIn(0, 256));

    std::string shard;
    optimize
        ->add_option("--shard", shard,
                     "Evaluate only part K of N contiguous parts of the combinations and record "
                     "it in the directory, for merge; auto: K and N from the batch scheduler's "
                     "array or the MPI launcher")
        ->check(CLI::Validator(
            [](std::string& value) {
                int k = 0, n = 0;
                return value == "auto" || parseShard(value, k, n)
                           ? std::string()
                           : "expected K/N with 1 <= K <= N <= " + std::to_string(kMaxShards) +
                                 ", or auto";
            },
            "K/N|auto"));
    int planShards = 0;
    auto* plan = optimize
                     ->add_option("--plan", planShards,
                                  "Print the number of combinations and an estimate of the run "
                                  "time of each of N shards from a timed sample; runs nothing")
                     ->check(integerIn(1, kMaxShards));
    bool planJson = false;
    optimize->add_flag("--json", planJson, "With --plan: the plan as JSON")->needs(plan);
    plan->excludes("--shard");

    auto* merge = app.add_subcommand(
        "merge", "Merge the directories of the shards of one study into the directory a "
                 "single run would have written");
    std::vector<std::string> shardDirs;
    merge->add_option("DIR", shardDirs, "The shards' output directories, in any order")
        ->required()
        ->check(CLI::ExistingDirectory);
    merge->add_option("--out", out, "Output directory: new or empty")->required();
    bool partial = false;
    merge->add_flag("--partial", partial,
                    "Merge folders of some of the shards, one contiguous run of them, into a "
                    "folder to merge again with the others");

    auto* sweep = app.add_subcommand("sweep", "Print the frequency-step curve of one point as CSV");
    sweep->add_option("FILE", in, "Model file with frequency-step results")
        ->required()
        ->check(CLI::ExistingFile);
    sweep->add_option("--load", loadNumber, "Dynamic load number, counted from 1")
        ->required()
        ->check(integerIn(INT_MIN, INT_MAX));
    sweep
        ->add_option("--object", object,
                     "Id of a spring, observation point or load (default: "
                     "the centre of gravity)")
        ->check(integerIn(INT_MIN, INT_MAX));
    sweep->add_option("--frame", frame, "global (default) or local (springs only)")
        ->check(CLI::IsMember({"global", "local"}));
    sweep->add_option("--dof", dof, "x, y, z, Rx, Ry or Rz (default x)")
        ->check(CLI::IsMember({"x", "y", "z", "Rx", "Ry", "Rz"}));
    std::string sweepFormat = "csv";
    sweep
        ->add_option("--format", sweepFormat,
                     "csv (default: one curve on stdout) or uff (a universal file, -o: the "
                     "complex responses per unit load of the centre of gravity's six DOF and "
                     "every observation point's x, y, z, computed over the sweep settings)")
        ->check(CLI::IsMember({"csv", "uff"}));
    sweep->add_option("-o,--output", out, "With --format uff: the universal file to write");

    auto* table = app.add_subcommand(
        "table", "Print a spring characteristic's frequency table as CSV, or set (--csv) or "
                 "remove (--clear) it and write the model");
    table->add_option("FILE", in, "Model file (.quav or .json)")
        ->required()
        ->check(CLI::ExistingFile);
    int characteristicId = 0;
    table->add_option("--characteristic", characteristicId, "Id of the spring characteristic")
        ->required()
        ->check(integerIn(INT_MIN, INT_MAX));
    std::string tableCsv;
    auto* setTable = table->add_option(
        "--csv", tableCsv,
        "CSV file with the heading f,ratio_x,ratio_y,ratio_z,loss_x,loss_y,loss_z and 2 to 64 "
        "rows: f [Hz] > 0 increasing, dynamic-to-static rate ratios > 0, loss factors >= 0");
    setTable->check(CLI::ExistingFile);
    bool clearTable = false;
    auto* clearFlag = table->add_flag("--clear", clearTable, "Remove the table");
    clearFlag->excludes(setTable);
    table->add_option("-o,--output", out,
                      "Output model file (.quav or .json) for --csv and --clear; may equal FILE");

    // The mount analyses.
    bool json = false;
    auto* ked = app.add_subcommand(
        "ked", "Print the kinetic energy distribution of the modes and their decoupling rates");
    std::string energyFrame = "global";
    ked->add_option("--frame", energyFrame,
                    "global (the model's axes at the centre of gravity, default) or principal "
                    "(the inertia principal axes)")
        ->check(CLI::IsMember({"global", "principal"}));
    auto* tra =
        app.add_subcommand("tra", "Print the torque roll axis and how each mode lies to it");
    std::string axis;
    tra->add_option("--axis", axis,
                    "Torque direction: x, y, z or ax,ay,az (default: the first static torque "
                    "load's, else the first dynamic torque load's, else x)");
    auto* forces = app.add_subcommand(
        "forces", "Print the static and dynamic forces in every spring, per load");
    std::optional<double> forceFrequency;
    forces
        ->add_option("--frequency", forceFrequency,
                     "Evaluate every dynamic load at this frequency [Hz] instead of its own")
        ->check(finiteNumber());
    auto* transmissibility = app.add_subcommand(
        "transmissibility", "Print the force transmissibility of a dynamic load over the sweep "
                            "as CSV");
    transmissibility->add_option("--load", loadNumber, "Dynamic force load number, from 1")
        ->required()
        ->check(integerIn(INT_MIN, INT_MAX));
    auto* robust = app.add_subcommand(
        "robust", "Sample spring rate and position tolerances and print the spread of the "
                  "natural frequencies and decoupling rates (Ctrl-C stops with the samples done)");
    RobustnessSettings robustness;
    std::string distribution = "uniform";
    robust
        ->add_option("--tolerance", robustness.tolerancePct, "Every spring rate within +-P percent")
        ->required()
        ->check(finiteNumber());
    robust
        ->add_option("--distribution", distribution,
                     "uniform (default) or normal (P as 3 sigma, truncated at +-P)")
        ->check(CLI::IsMember({"uniform", "normal"}));
    std::string vary = "spring";
    robust
        ->add_option("--vary", vary,
                     "spring (default: each spring's three rates drawn on their own) or "
                     "characteristic (every spring bound to a characteristic in lockstep)")
        ->check(CLI::IsMember({"spring", "characteristic"}));
    robust
        ->add_option("--position-tolerance", robustness.positionTolerance,
                     "Every spring coordinate uniformly within +- this [m] (default 0)")
        ->check(finiteNumber());
    robust->add_option("--samples", robustness.samples, "Number of samples (default 1000)")
        ->check(integerIn(1, kMaxRobustnessSamples));
    robust
        ->add_option("--seed", robustness.seed,
                     "Random seed (default 1); the same seed gives the same output whatever "
                     "the number of threads")
        ->check(integerIn(0, LLONG_MAX));
    robust
        ->add_option("--threads", robustness.threads, "Threads (default: one per hardware thread)")
        ->check(integerIn(0, 256));
    auto* sens = app.add_subcommand(
        "sens", "Print the derivatives and elasticities of the natural frequencies, decoupling "
                "rates and static displacements by every spring rate, position and angle");
    SensitivityRequest sensitivity;
    sens->add_option("--params", sensitivity.kinds,
                     "Kinds of parameters: rates, positions, angles (default all)")
        ->delimiter(',')
        ->check(CLI::IsMember({"rates", "positions", "angles"}));
    sens->add_option("--springs", sensitivity.springs,
                     "Only these springs' positions and angles (ids, comma-separated)")
        ->delimiter(',')
        ->check(integerIn(INT_MIN, INT_MAX));
    sens->add_option("--characteristics", sensitivity.characteristics,
                     "Only these characteristics' rates (ids, comma-separated)")
        ->delimiter(',')
        ->check(integerIn(INT_MIN, INT_MAX));
    sens->add_option("--tolerance", sensitivity.tolerancePct,
                     "Also print each frequency's first-order standard deviation for every "
                     "rate varying uniformly within +-P percent")
        ->check(finiteNumber());
    sens->add_option("--position-tolerance", sensitivity.positionTolerance,
                     "... and every spring coordinate within +- this [m] (either option prints "
                     "the deviations; the other is then 0)")
        ->check(finiteNumber());
    std::string tableFormat = "table";
    for (CLI::App* c : {ked, tra, forces, transmissibility, robust, sens}) {
        c->add_option("FILE", in, "Model file (.quav or .json)")
            ->required()
            ->check(CLI::ExistingFile);
        auto* flag = c->add_flag("--json", json, "JSON instead of a tab-separated table");
        if (c == transmissibility || c == robust)
            continue;
        c->add_option("--format", tableFormat,
                      "table (default), json (as --json) or csv (one header row, then a row "
                      "per record)")
            ->check(CLI::IsMember({"table", "json", "csv"}))
            ->excludes(flag);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? ExitOk : ExitInputError;
    }

    if (calc->parsed())
        return cmdCalc(in, out, only, start, end, step);
    for (int i = 0; i < 3; ++i)
        if (reports[static_cast<std::size_t>(i)]->parsed())
            return cmdReport(in, encoding, i);
    if (dump->parsed())
        return cmdDump(in);
    if (convert->parsed())
        return cmdConvert(in, out);
    if (exportDeck->parsed())
        return cmdExport(in, out);
    if (importDeck->parsed())
        return cmdImport(in, out);
    if (optimize->parsed() && planShards > 0)
        return cmdPlan(in, planShards, threads, planJson);
    if (optimize->parsed() && out.empty()) {
        std::cerr << "quav-cli optimize: --out is required (a directory), unless --plan\n";
        return ExitInputError;
    }
    if (optimize->parsed())
        return cmdOptimize(in, out, threads, shard);
    if (merge->parsed())
        return cmdMerge(shardDirs, out, partial);
    if (sweep->parsed())
        return cmdSweep(in, loadNumber, object, frame, dof, sweepFormat, out);
    if (table->parsed())
        return cmdTable(in, characteristicId, tableCsv, clearTable, out);
    for (CLI::App* c : {ked, tra, forces, transmissibility, robust, sens}) {
        if (!c->parsed())
            continue;
        LoadedModel m;
        if (!load(in, m))
            return ExitInputError;
        const TableFormat format = json || tableFormat == "json" ? TableFormat::Json
                                   : tableFormat == "csv"        ? TableFormat::Csv
                                                                 : TableFormat::Text;
        if (c == ked)
            return kedCommand(*m.model, energyFrame, format);
        if (c == tra)
            return traCommand(*m.model, axis, format);
        if (c == forces)
            return forcesCommand(*m.model, forceFrequency, format);
        if (c == transmissibility)
            return transmissibilityCommand(*m.model, loadNumber, json);
        if (c == sens)
            return sensCommand(*m.model, sensitivity, format);
        // A closed terminal stops the run as Ctrl-C does, and a closed stderr only
        // ends the progress display: either way the samples done are reported.
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, onInterrupt);
        std::signal(SIGPIPE, SIG_IGN);
        robustness.vary =
            vary == "characteristic" ? RateVariation::PerCharacteristic : RateVariation::PerSpring;
        return robustCommand(*m.model, m.optimizer, robustness, distribution, json, interrupted);
    }
    return ExitInputError;
}

} // namespace

int main(int argc, char** argv) {
    removeTemporaryFilesOnSignals();
    int code = ExitRunError;
    try {
        code = run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("quav-cli: not enough memory for this model\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quav-cli: %s\n", e.what());
    }
    return finishOutput(code);
}
