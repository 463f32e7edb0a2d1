// quav-cli: the batch front end over the QUAV core.
#include "analysis/CalculationDriver.h"
#include "analysis/FrequencyStepCurve.h"
#include "cli/AnalysisCommands.h"
#include "cli/CaseCommand.h"
#include "cli/CommandOutput.h"
#include "cli/CommandRegistry.h"
#include "cli/Interrupts.h"
#include "cli/NumberOptions.h"
#include "cli/Progress.h"
#include "cli/ShardOption.h"
#include "cli/TableCommand.h"
#include "document/Document.h"
#include "document/ModelFile.h"
#include "exchange/AnalysisJson.h"
#include "exchange/BulkDataReader.h"
#include "exchange/BulkDataWriter.h"
#include "exchange/ModelJson.h"
#include "exchange/ModelJsonFile.h"
#include "exchange/UniversalFile.h"
#include "model/FileIo.h"
#include "model/TextFormat.h"
#include "optimizer/EvolutionarySearch.h"
#include "optimizer/OptimizerRun.h"
#include "optimizer/StudyCheck.h"
#include "optimizer/StudyPlan.h"
#include "optimizer/StudyShards.h"
#include "reports/Reports.h"
#include "version/Version.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <chrono>
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

/// Reads the study of a .quav or a .json file into `out`.
bool load(const std::string& path, Study& out) {
    const bool json = hasExtension(path, ".json");
    StudyRead read = json ? readJsonModelFile(path) : loadModelFile(path);
    if (!read.ok()) {
        std::cerr << "quav-cli: " << (json ? "" : "cannot open ") << path << ": " << read.error
                  << "\n";
        return false;
    }
    out = std::move(read);
    return true;
}

bool save(const Study& m, const std::string& path) {
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
    Study m;
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
    Study m;
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
    Study m;
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
    Study m;
    if (!load(in, m))
        return ExitInputError;
    return save(m, out) ? ExitOk : ExitInputError;
}

int cmdExport(const std::string& in, const std::string& out) {
    Study m;
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
    Study m;
    m.model = std::move(imported.model);
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
                const std::string& shard, const std::vector<std::string>& objectives,
                const std::optional<SearchSettings>& search) {
    ShardChoice part;
    if (!shard.empty()) {
        part = chooseShard(shard, [](const char* name) { return std::getenv(name); });
        if (!part.ok()) {
            std::cerr << "quav-cli: " << part.error << "\n";
            return ExitInputError;
        }
    }
    Study m;
    if (!load(file, m))
        return ExitInputError;
    // Objectives on the command line replace the model's list.
    if (!objectives.empty()) {
        m.optimizer.objectives.clear();
        for (const std::string& text : objectives)
            m.optimizer.objectives.push_back(*parseObjective(text));
    }
    // Refused before the folder is touched: bad ranges are the user's input, a
    // model no binding can make physical is the calculation's refusal.
    StudyRefusal refusal = checkStudy(m.optimizer, *m.model);
    if (search)
        refusal.settings += searchSettingsProblem(*search, m.optimizer);
    if (!refusal.ok()) {
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
    if (search)
        runner.setMethod([settings = *search](Optimizer& o, const AnalysisModel& model,
                                              const RunOptions& options) {
            return runEvolutionarySearch(o, model, options, settings);
        });
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
        // The end of the run ends the wait: a short run does not sit out the rest
        // of a display interval.
        runner.waitFor(std::chrono::milliseconds(100));
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
    Study m;
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
        writeOut(studyPlanJson(sample, shards, perShard, shardSeconds,
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
    options.readStudy = [](std::string_view original, std::size_t& parameters,
                           std::vector<bool>& maximise) {
        const StudyRead r = readModelBytes(original);
        if (!r.ok())
            return false;
        parameters = r.optimizer.parameters.size();
        maximise = objectiveSenses(r.optimizer.objectives);
        return true;
    };
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
    Study m;
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
    Study m;
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

    // The values the options set, read by the handlers.
    std::string in, out, encoding = "utf-8", frame = "global", dof = "x";
    std::vector<std::string> only;
    std::optional<double> start, end, step;
    std::optional<int> object;
    int loadNumber = 0;
    int threads = 0;
    std::string shard;
    int planShards = 0;
    bool planJson = false;
    std::vector<std::string> objectives;
    std::string searchName = "grid";
    SearchSettings search;
    std::vector<std::string> shardDirs;
    bool partial = false;
    int characteristicId = 0;
    std::string tableCsv;
    bool clearTable = false;
    bool json = false;
    std::string energyFrame = "global";
    std::string axis;
    std::optional<double> forceFrequency;
    RobustnessSettings robustness;
    std::string distribution = "uniform";
    std::string vary = "spring";
    SensitivityRequest sensitivity;
    std::vector<std::string> caseNames;
    bool caseModes = false;
    std::string sweepFormat = "csv";
    std::string exportFormat;
    std::string tableFormat = "table";
    // --json or --format of the analyses that print tables.
    const auto format = [&] {
        return json || tableFormat == "json" ? TableFormat::Json
               : tableFormat == "csv"        ? TableFormat::Csv
                                             : TableFormat::Text;
    };

    const auto modelFile = [&](const char* help) {
        return [&in, help](CLI::App& c) {
            c.add_option("FILE", in, help)->required()->check(CLI::ExistingFile);
        };
    };
    const auto report = [&](const char* name, const char* description, int which) {
        return CliCommand{name, description,
                          [&](CLI::App& c) {
                              modelFile("Model file (.quav or .json)")(c);
                              c.add_option("--encoding", encoding,
                                           "utf-8 (default) or cp932 (raw bytes)")
                                  ->check(CLI::IsMember({"utf-8", "cp932"}));
                          },
                          [&, which] { return cmdReport(in, encoding, which); }};
    };
    // The mount analyses take the model file and --json after their own options,
    // and run on the loaded model.
    // Those with `tables` also take --format table|json|csv.
    const auto mountAnalysis = [&](const char* name, const char* description,
                                   const std::function<void(CLI::App&)>& setUp,
                                   const std::function<int(Study&)>& analyse, bool tables = false) {
        return CliCommand{name, description,
                          [&, setUp, tables](CLI::App& c) {
                              if (setUp)
                                  setUp(c);
                              modelFile("Model file (.quav or .json)")(c);
                              auto* flag = c.add_flag("--json", json,
                                                      "JSON instead of a tab-separated table");
                              if (tables)
                                  c.add_option("--format", tableFormat,
                                               "table (default), json (as --json) or csv (one "
                                               "header row, then a row per record)")
                                      ->check(CLI::IsMember({"table", "json", "csv"}))
                                      ->excludes(flag);
                          },
                          [&, analyse] {
                              Study m;
                              if (!load(in, m))
                                  return int(ExitInputError);
                              return analyse(m);
                          }};
    };

    const std::vector<CliCommand> commands{
        {"calc", "Run the calculation and write the model with results",
         [&](CLI::App& c) {
             c.add_option("IN", in, "Model file (.quav or .json)")
                 ->required()
                 ->check(CLI::ExistingFile);
             c.add_option("-o,--output", out, "Output model file (.quav or .json); may equal IN")
                 ->required();
             c.add_option("--only", only, "Analyses to run (default all)")
                 ->delimiter(',')
                 ->check(CLI::IsMember({"eigen", "static", "dynamic", "sweep"}));
             c.add_option("--start", start, "Sweep start frequency [Hz]")->check(finiteNumber());
             c.add_option("--end", end, "Sweep end frequency [Hz]")->check(finiteNumber());
             c.add_option("--step", step, "Sweep frequency increment [Hz]")->check(finiteNumber());
         },
         [&] { return cmdCalc(in, out, only, start, end, step); }},
        report("report", "Print the results report", 0),
        report("listing", "Print the input data listing", 1),
        report("elastic", "Print the elastic centre report", 2),
        {"dump", "Print the whole model as JSON", modelFile("Model file"),
         [&] { return cmdDump(in); }},
        {"convert", "Convert between .quav and .json by extension",
         [&](CLI::App& c) {
             c.add_option("IN", in, "Input model file")->required()->check(CLI::ExistingFile);
             c.add_option("OUT", out, "Output model file")->required();
         },
         [&] { return cmdConvert(in, out); }},
        {"export",
         "Write the model as a bulk-data deck (large field, SOL 103, or SOL 111 with the dynamic "
         "loads)",
         [&](CLI::App& c) {
             modelFile("Model file (.quav or .json)")(c);
             c.add_option("--format", exportFormat, "nastran")
                 ->required()
                 ->check(CLI::IsMember({"nastran"}));
             c.add_option("-o,--output", out, "Output deck (.bdf)")->required();
         },
         [&] { return cmdExport(in, out); }},
        {"import", "Read a rigid body on springs from a bulk-data deck and write it as a model",
         [&](CLI::App& c) {
             c.add_option("DECK", in, "Bulk-data deck (.bdf, .dat, .nas)")
                 ->required()
                 ->check(CLI::ExistingFile);
             c.add_option("-o,--output", out, "Output model file (.quav or .json)")->required();
         },
         [&] { return cmdImport(in, out); }},
        {"optimize", "Run the optimiser into a directory",
         [&](CLI::App& c) {
             modelFile("Model file with parameters, bindings and conditions")(c);
             c.add_option("--out", out,
                          "Output directory (created when missing); required "
                          "unless --plan");
             c.add_option("--threads", threads,
                          "Threads that evaluate variants (default: one per hardware thread); "
                          "the outputs do not depend on it")
                 ->check(integerIn(0, 256));
             c.add_option("--shard", shard,
                          "Evaluate only part K of N contiguous parts of the combinations and "
                          "record it in the directory, for merge; auto: K and N from the batch "
                          "scheduler's array or the MPI launcher")
                 ->check(CLI::Validator(
                     [](std::string& value) {
                         int k = 0, n = 0;
                         return value == "auto" || parseShard(value, k, n)
                                    ? std::string()
                                    : "expected K/N with 1 <= K <= N <= " +
                                          std::to_string(kMaxShards) + ", or auto";
                     },
                     "K/N|auto"));
             c.add_option("--objective", objectives,
                          "An objective as SENSE:KIND[:N[:M]] (repeatable, 1 to 4; replaces the "
                          "model's list): min|max with decouplingMin, meanCoupling, "
                          "frequency:MODE, transmissibility:LOAD, staticDisplacement:OBJECT:LOAD; "
                          "the accepted variants that no other dominates go to pareto.csv")
                 ->check(CLI::Validator(
                     [](std::string& value) {
                         return parseObjective(value) ? std::string()
                                                      : "expected SENSE:KIND[:N[:M]], such as "
                                                        "max:decouplingMin or "
                                                        "min:transmissibility:1";
                     },
                     "SENSE:KIND"));
             auto* searchOption =
                 c.add_option("--search", searchName,
                              "grid (every combination, the default) or nsga2 (an evolutionary "
                              "search for the Pareto front of the objectives)")
                     ->check(CLI::IsMember({"grid", "nsga2"}));
             c.add_option("--population", search.population,
                          "With --search nsga2: individuals per generation (even, 4 to " +
                              std::to_string(kMaxPopulation) + "; default 40)")
                 ->check(integerIn(4, kMaxPopulation))
                 ->needs(searchOption);
             c.add_option("--generations", search.generations,
                          "With --search nsga2: generations after the first (default 50)")
                 ->check(integerIn(1, kMaxGenerations))
                 ->needs(searchOption);
             c.add_option("--seed", search.seed,
                          "With --search nsga2: the random seed (default 1); the same seed gives "
                          "the same folder on any number of threads")
                 ->needs(searchOption);
             c.add_flag("--discrete", search.discrete,
                        "With --search nsga2: each parameter on its own value grid instead of "
                        "anywhere within its range")
                 ->needs(searchOption);
             auto* plan = c.add_option("--plan", planShards,
                                       "Print the number of combinations and an estimate of the "
                                       "run time of each of N shards from a timed sample; runs "
                                       "nothing")
                              ->check(integerIn(1, kMaxShards));
             c.add_flag("--json", planJson, "With --plan: the plan as JSON")->needs(plan);
             plan->excludes("--shard");
         },
         [&] {
             if (planShards > 0)
                 return cmdPlan(in, planShards, threads, planJson);
             if (out.empty()) {
                 std::cerr << "quav-cli optimize: --out is required (a directory), unless "
                              "--plan\n";
                 return int(ExitInputError);
             }
             if (searchName == "nsga2" && !shard.empty()) {
                 std::cerr << "quav-cli optimize: --shard splits a grid study; a search runs "
                              "whole\n";
                 return int(ExitInputError);
             }
             return cmdOptimize(in, out, threads, shard, objectives,
                                searchName == "nsga2" ? std::optional(search) : std::nullopt);
         }},
        {"merge",
         "Merge the directories of the shards of one study into the directory a single run "
         "would have written",
         [&](CLI::App& c) {
             c.add_option("DIR", shardDirs, "The shards' output directories, in any order")
                 ->required()
                 ->check(CLI::ExistingDirectory);
             c.add_option("--out", out, "Output directory: new or empty")->required();
             c.add_flag("--partial", partial,
                        "Merge folders of some of the shards, one contiguous run of them, into "
                        "a folder to merge again with the others");
         },
         [&] { return cmdMerge(shardDirs, out, partial); }},
        {"sweep", "Print the frequency-step curve of one point as CSV",
         [&](CLI::App& c) {
             modelFile("Model file with frequency-step results")(c);
             c.add_option("--load", loadNumber, "Dynamic load number, counted from 1")
                 ->required()
                 ->check(integerIn(INT_MIN, INT_MAX));
             c.add_option("--object", object,
                          "Id of a spring, observation point or load (default: "
                          "the centre of gravity)")
                 ->check(integerIn(INT_MIN, INT_MAX));
             c.add_option("--frame", frame, "global (default) or local (springs only)")
                 ->check(CLI::IsMember({"global", "local"}));
             c.add_option("--dof", dof, "x, y, z, Rx, Ry or Rz (default x)")
                 ->check(CLI::IsMember({"x", "y", "z", "Rx", "Ry", "Rz"}));
             c.add_option("--format", sweepFormat,
                          "csv (default: one curve on stdout) or uff (a universal file, -o: the "
                          "complex responses per unit load of the centre of gravity's six DOF "
                          "and every observation point's x, y, z, computed over the sweep "
                          "settings)")
                 ->check(CLI::IsMember({"csv", "uff"}));
             c.add_option("-o,--output", out, "With --format uff: the universal file to write");
         },
         [&] { return cmdSweep(in, loadNumber, object, frame, dof, sweepFormat, out); }},
        {"table",
         "Print a spring characteristic's frequency table as CSV, or set (--csv) or remove "
         "(--clear) it and write the model",
         [&](CLI::App& c) {
             modelFile("Model file (.quav or .json)")(c);
             c.add_option("--characteristic", characteristicId, "Id of the spring characteristic")
                 ->required()
                 ->check(integerIn(INT_MIN, INT_MAX));
             auto* setTable =
                 c.add_option("--csv", tableCsv,
                              "CSV file with the heading f,ratio_x,ratio_y,ratio_z,loss_x,loss_y,"
                              "loss_z and 2 to 64 rows: f [Hz] > 0 increasing, dynamic-to-static "
                              "rate ratios > 0, loss factors >= 0");
             setTable->check(CLI::ExistingFile);
             c.add_flag("--clear", clearTable, "Remove the table")->excludes(setTable);
             c.add_option("-o,--output", out,
                          "Output model file (.quav or .json) for --csv and --clear; may equal "
                          "FILE");
         },
         [&] { return cmdTable(in, characteristicId, tableCsv, clearTable, out); }},
        mountAnalysis(
            "ked", "Print the kinetic energy distribution of the modes and their decoupling rates",
            [&](CLI::App& c) {
                c.add_option("--frame", energyFrame,
                             "global (the model's axes at the centre of gravity, default) or "
                             "principal (the inertia principal axes)")
                    ->check(CLI::IsMember({"global", "principal"}));
            },
            [&](Study& m) { return kedCommand(*m.model, energyFrame, format()); }, true),
        mountAnalysis(
            "tra", "Print the torque roll axis and how each mode lies to it",
            [&](CLI::App& c) {
                c.add_option("--axis", axis,
                             "Torque direction: x, y, z or ax,ay,az (default: the first static "
                             "torque load's, else the first dynamic torque load's, else x)");
            },
            [&](Study& m) { return traCommand(*m.model, axis, format()); }, true),
        mountAnalysis(
            "forces", "Print the static and dynamic forces in every spring, per load",
            [&](CLI::App& c) {
                c.add_option("--frequency", forceFrequency,
                             "Evaluate every dynamic load at this frequency [Hz] instead of its "
                             "own")
                    ->check(finiteNumber());
            },
            [&](Study& m) { return forcesCommand(*m.model, forceFrequency, format()); }, true),
        mountAnalysis(
            "transmissibility",
            "Print the force transmissibility of a dynamic load over the sweep as CSV",
            [&](CLI::App& c) {
                c.add_option("--load", loadNumber, "Dynamic force load number, from 1")
                    ->required()
                    ->check(integerIn(INT_MIN, INT_MAX));
            },
            [&](Study& m) { return transmissibilityCommand(*m.model, loadNumber, json); }),
        mountAnalysis(
            "robust",
            "Sample spring rate and position tolerances and print the spread of the natural "
            "frequencies and decoupling rates (Ctrl-C stops with the samples done)",
            [&](CLI::App& c) {
                c.add_option("--tolerance", robustness.tolerancePct,
                             "Every spring rate within +-P percent")
                    ->required()
                    ->check(finiteNumber());
                c.add_option("--distribution", distribution,
                             "uniform (default) or normal (P as 3 sigma, truncated at +-P)")
                    ->check(CLI::IsMember({"uniform", "normal"}));
                c.add_option("--vary", vary,
                             "spring (default: each spring's three rates drawn on their own) or "
                             "characteristic (every spring bound to a characteristic in "
                             "lockstep)")
                    ->check(CLI::IsMember({"spring", "characteristic"}));
                c.add_option("--position-tolerance", robustness.positionTolerance,
                             "Every spring coordinate uniformly within +- this [m] (default 0)")
                    ->check(finiteNumber());
                c.add_option("--samples", robustness.samples, "Number of samples (default 1000)")
                    ->check(integerIn(1, kMaxRobustnessSamples));
                c.add_option("--seed", robustness.seed,
                             "Random seed (default 1); the same seed gives the same output "
                             "whatever the number of threads")
                    ->check(integerIn(0, LLONG_MAX));
                c.add_option("--threads", robustness.threads,
                             "Threads (default: one per hardware thread)")
                    ->check(integerIn(0, 256));
            },
            [&](Study& m) {
                // A closed terminal stops the run as Ctrl-C does, and a closed stderr only
                // ends the progress display: either way the samples done are reported.
                for (int signal : {SIGINT, SIGTERM, SIGHUP})
                    std::signal(signal, onInterrupt);
                std::signal(SIGPIPE, SIG_IGN);
                robustness.vary = vary == "characteristic" ? RateVariation::PerCharacteristic
                                                           : RateVariation::PerSpring;
                return robustCommand(*m.model, m.optimizer, robustness, distribution, json,
                                     interrupted);
            }),
        mountAnalysis(
            "sens",
            "Print the derivatives and elasticities of the natural frequencies, decoupling rates "
            "and static displacements by every spring rate, position and angle",
            [&](CLI::App& c) {
                c.add_option("--params", sensitivity.kinds,
                             "Kinds of parameters: rates, positions, angles (default all)")
                    ->delimiter(',')
                    ->check(CLI::IsMember({"rates", "positions", "angles"}));
                c.add_option("--springs", sensitivity.springs,
                             "Only these springs' positions and angles (ids, comma-separated)")
                    ->delimiter(',')
                    ->check(integerIn(INT_MIN, INT_MAX));
                c.add_option("--characteristics", sensitivity.characteristics,
                             "Only these characteristics' rates (ids, comma-separated)")
                    ->delimiter(',')
                    ->check(integerIn(INT_MIN, INT_MAX));
                c.add_option("--tolerance", sensitivity.tolerancePct,
                             "Also print each frequency's first-order standard deviation for "
                             "every rate varying uniformly within +-P percent")
                    ->check(finiteNumber());
                c.add_option("--position-tolerance", sensitivity.positionTolerance,
                             "... and every spring coordinate within +- this [m] (either option "
                             "prints the deviations; the other is then 0)")
                    ->check(finiteNumber());
            },
            [&](Study& m) { return sensCommand(*m.model, sensitivity, format()); }, true),
        mountAnalysis(
            "cases",
            "Solve the load cases with the mounts' force-deflection curves and print each "
            "spring's deflection, force, travel and load margins (exit 1 when a case does not "
            "converge)",
            [&](CLI::App& c) {
                c.add_option("--case", caseNames, "Only this load case (by name; may be repeated)");
                c.add_flag("--modes", caseModes,
                           "Also the six modes at each case's operating point (tangent rates of "
                           "the curves times the dynamic factor)");
            },
            [&](Study& m) { return casesCommand(*m.model, caseNames, caseModes, format()); }, true),
    };
    return runCommands(app, commands, argc, argv);
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
