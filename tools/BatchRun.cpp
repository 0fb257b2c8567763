#include "BatchRun.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "Conversions.h"
#include "Errors.h"
#include "ParamsFile.h"
#include "SeedMixing.h"
#include "SettingsTable.h"
#include "Simul.h"

namespace glebix::batch {

namespace fs = std::filesystem;

namespace {

std::string Join(const std::string &dir, const std::string &name) { return (fs::path(dir) / name).string(); }

// "run-001", with more digits beyond 999 runs.
std::string RunFolder(int run) {
    std::string digits = std::to_string(run);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return "run-" + digits;
}

std::string ParentOf(const std::string &path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(text, n);
}

std::string ManifestJson(const BatchOptions &options, const RunPlan &plan, const RunRecord &record,
                         const std::vector<InputFileRecord> &inputs, const Simul &simul, std::uint32_t masterSeed,
                         bool seedFromClock, const std::string &started) {
    auto number = [](std::int64_t v) { return std::to_string(v); };
    std::string j = "{\n";
    j += "  \"program\": \"glebix-batch\",\n";
    j += "  \"version\": " + JsonString(VersionText().substr(std::string("glebix-batch ").size())) + ",\n";
    j += "  \"run\": " + number(plan.Run) + ",\n";
    j += "  \"replicates\": " + number(options.Replicates) + ",\n";
    j += "  \"seed\": " + number(plan.Seed) + ",\n";
    j += "  \"master_seed\": " + number(masterSeed) + ",\n";
    j += "  \"seed_source\": " + std::string(seedFromClock ? "\"clock\"" : "\"option\"") + ",\n";
    j += "  \"step_count\": " + number(record.StepCount) + ",\n";
    j += "  \"steps_reached\": " + number(record.StepsReached) + ",\n";
    j += "  \"status\": " + std::string(record.Completed ? "\"completed\"" : "\"error\"") + ",\n";
    j += "  \"message\": " + (record.Completed ? std::string("null") : JsonString(record.Message)) + ",\n";
    j += "  \"started_utc\": " + JsonString(started) + ",\n";
    j += "  \"elapsed_seconds\": " + FormatShortest(record.Seconds) + ",\n";
    j += "  \"settings\": {\n";
    j += "    \"StepCount\": " + JsonString(simul.Settings.Run.StepCount);
    for (const std::string &name : SettingNames())
        j += ",\n    " + JsonString(name) + ": " + JsonString(SettingText(name, simul.Settings));
    j += "\n  },\n";
    j += "  \"inputs\": [";
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const InputFileRecord &in = inputs[k];
        j += k ? ",\n" : "\n";
        j += "    {\"role\": " + JsonString(in.Role) + ", \"path\": " + JsonString(in.Path) +
             ", \"size\": " + (in.Size < 0 ? std::string("null") : number(in.Size)) +
             ", \"sha256\": " + (in.Sha256.empty() ? std::string("null") : JsonString(in.Sha256)) + "}";
    }
    j += inputs.empty() ? "],\n" : "\n  ],\n";
    auto output = [](const std::string &path) { return path.empty() ? std::string("null") : JsonString(path); };
    j += "  \"outputs\": {\n";
    j += "    \"result_file\": " +
         output(plan.OutDir.empty() ? std::string() : simul.ResultFilePath("RireVed", 1, 1.0, 1.0)) + ",\n";
    j += "    \"trace\": " + output(plan.TracePath) + ",\n";
    j += "    \"snapshots\": " + output(plan.SnapshotDir) + ",\n";
    j += "    \"asc\": " + output(plan.AscDir) + "\n";
    j += "  },\n";
    j += "  \"command\": [";
    for (std::size_t k = 0; k < options.Arguments.size(); ++k) j += (k ? ", " : "") + JsonString(options.Arguments[k]);
    j += "]\n}\n";
    return j;
}

}  // namespace

std::vector<InputFileRecord> DescribeInputs(const BatchOptions &options) {
    std::vector<InputFileRecord> records;
    auto describe = [&records](const std::string &role, const std::string &path) {
        InputFileRecord r{role, path, -1, {}};
        std::string contents, error;
        if (ReadWholeFile(path, contents, error)) {
            r.Size = static_cast<std::int64_t>(contents.size());
            const QByteArray digest = QCryptographicHash::hash(
                QByteArrayView(contents.data(), static_cast<qsizetype>(contents.size())), QCryptographicHash::Sha256);
            r.Sha256 = digest.toHex().toStdString();
        }
        records.push_back(std::move(r));
    };
    for (const InputFile &in : options.Inputs) describe(in.Role, in.Path);
    if (options.Settings.Initial.EnvInitMode == 0) describe("environment", options.Settings.Initial.EnvFilePath);
    if (options.Settings.Initial.DistInitMode == 0) describe("distribution", options.Settings.Initial.DistFilePath);
    return records;
}

std::string PrimaryOutputDir(const BatchOptions &options) {
    if (!options.OutDir.empty()) return options.OutDir;
    if (!options.AscDir.empty()) return options.AscDir;
    if (!options.SnapshotDir.empty()) return options.SnapshotDir;
    if (!options.TracePath.empty()) return ParentOf(options.TracePath);
    return {};
}

RunPlan PlanRun(const BatchOptions &options, int run, std::uint32_t master) {
    RunPlan plan;
    plan.Run = run;
    plan.Seed = ReplicateSeed(master, run);
    auto place = [&](const std::string &dir) {
        if (dir.empty() || !options.ReplicateLayout) return dir;
        return Join(dir, RunFolder(run));
    };
    plan.OutDir = place(options.OutDir);
    plan.SnapshotDir = place(options.SnapshotDir);
    plan.AscDir = place(options.AscDir);
    if (!options.TracePath.empty()) {
        plan.TracePath = options.ReplicateLayout ? Join(Join(ParentOf(options.TracePath), RunFolder(run)),
                                                        fs::path(options.TracePath).filename().string())
                                                 : options.TracePath;
    }
    const std::string primary = PrimaryOutputDir(options);
    if (!primary.empty()) plan.ManifestPath = Join(place(primary), "manifest.json");
    return plan;
}

RunRecord RunOne(const BatchOptions &options, const RunPlan &plan, const std::vector<InputFileRecord> &inputs,
                 std::uint32_t masterSeed, bool seedFromClock, std::atomic<std::int64_t> *stepsDone) {
    const auto start = std::chrono::steady_clock::now();
    const std::string started = UtcNow();
    // The per-step values are kept only for the summary across replicates.
    const bool keepSeries = options.ReplicateLayout && !PrimaryOutputDir(options).empty();
    RunRecord record;
    record.Run = plan.Run;
    record.Seed = plan.Seed;

    // One engine per run, so that runs on other threads share nothing.
    auto simul = std::make_unique<Simul>();
    simul->Settings = options.Settings;
    simul->Settings.Run.ResultDirectory = plan.OutDir;
    simul->SetDispersalThreads(plan.DispersalThreads);
    try {
        record.StepCount = FieldToInteger(simul->Settings.Run.StepCount);
        for (const std::string *dir : {&plan.OutDir, &plan.SnapshotDir, &plan.AscDir})
            if (!dir->empty()) MakeDirectories(*dir);
        if (!plan.ManifestPath.empty()) MakeDirectories(ParentOf(plan.ManifestPath));
        LineWriter trace;
        if (!plan.TracePath.empty()) {
            MakeDirectories(ParentOf(plan.TracePath));
            trace.Open(plan.TracePath);
            trace.Write(TraceHeader());
        }

        simul->SetUpRun(plan.Seed);
        for (std::int32_t step = 1; step <= record.StepCount; ++step) {
            simul->TimeStep();
            record.StepsReached = step;
            if (keepSeries) {
                record.Series.Totals.push_back(TotalCount(simul->Plot));
                record.Series.MeanCompacted.push_back(MeanCompacted(simul->Plot));
            }
            if (trace.IsOpen()) trace.Write(TraceRow(step, *simul));
            if (!plan.SnapshotDir.empty() && (step % options.Every == 0 || step == record.StepCount))
                WriteWholeFile(Join(plan.SnapshotDir, SnapshotName(step)), DensityMapPng(simul->Plot));
            if (stepsDone) stepsDone->fetch_add(1, std::memory_order_relaxed);
        }
        // As the launcher does: a run without steps writes no result file.
        if (record.StepCount > 0 && !plan.OutDir.empty()) simul->WriteResultFile("RireVed", 1, 1.0, 1.0);
        if (!plan.AscDir.empty()) {
            WriteWholeFile(Join(plan.AscDir, "density.asc"), DensityAsc(simul->Plot));
            WriteWholeFile(Join(plan.AscDir, "compacted.asc"), CompactedAsc(simul->Plot));
        }
        trace.Close();
        record.Completed = true;
    } catch (const std::exception &e) { record.Message = e.what(); }
    record.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (!plan.ManifestPath.empty()) {
        try {
            WriteWholeFile(plan.ManifestPath,
                           ManifestJson(options, plan, record, inputs, *simul, masterSeed, seedFromClock, started));
        } catch (const std::exception &e) {
            if (record.Completed) {
                record.Completed = false;
                record.Message = e.what();
            }
        }
    }
    return record;
}

BatchOutcome RunBatch(const BatchOptions &options, std::uint32_t masterSeed, bool seedFromClock,
                      const std::function<void(const std::string &)> &report,
                      const std::function<void(std::int64_t, std::int64_t)> &progress) {
    const int runs = options.Replicates;
    int jobs = options.Jobs > 0 ? options.Jobs : static_cast<int>(std::thread::hardware_concurrency());
    jobs = std::clamp(jobs, 1, std::min(runs, MaxJobs));
    // The processors are shared between the runs at a time and the dispersal passes
    // within each run; the results depend on neither.
    const int dispersalThreads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()) / jobs);
    const std::vector<InputFileRecord> inputs = DescribeInputs(options);
    const std::int64_t stepsInAll =
        static_cast<std::int64_t>(runs) * std::max(0, FieldToInteger(options.Settings.Run.StepCount));

    BatchOutcome outcome;
    outcome.Runs.resize(static_cast<std::size_t>(runs));
    std::atomic<int> next{1};
    std::atomic<std::int64_t> stepsDone{0};
    std::mutex mutex;  // guards `finished` and the calls of `report`
    std::condition_variable allFinished;
    int finished = 0;

    auto worker = [&] {
        for (int run; (run = next.fetch_add(1)) <= runs;) {
            RunPlan plan = PlanRun(options, run, masterSeed);
            plan.DispersalThreads = dispersalThreads;
            RunRecord record = RunOne(options, plan, inputs, masterSeed, seedFromClock, &stepsDone);
            std::lock_guard lock(mutex);
            if (!record.Completed && report)
                report((options.ReplicateLayout ? "simulation " + std::to_string(run) + " : " : std::string()) +
                       record.Message);
            outcome.Runs[static_cast<std::size_t>(run - 1)] = std::move(record);
            ++finished;
            allFinished.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int k = 0; k < jobs; ++k) {
        try {
            threads.emplace_back(worker);
        } catch (const std::system_error &) {
            break;  // fewer threads than asked: those started share the runs
        }
    }
    if (threads.empty()) worker();
    {
        std::unique_lock lock(mutex);
        while (finished < runs) {
            allFinished.wait_for(lock, std::chrono::milliseconds(200));
            // Under the lock, so that the progress line and error reports never interleave.
            if (progress) progress(stepsDone.load(), stepsInAll);
        }
    }
    for (std::thread &t : threads) t.join();

    bool failed = false;
    for (const RunRecord &r : outcome.Runs) failed = failed || !r.Completed;
    const std::string primary = PrimaryOutputDir(options);
    if (options.ReplicateLayout && !primary.empty()) {
        std::vector<StepSeries> series;
        for (const RunRecord &r : outcome.Runs) series.push_back(r.Series);
        try {
            MakeDirectories(primary);
            WriteWholeFile(Join(primary, "summary.csv"), SummaryCsv(series));
        } catch (const std::exception &e) {
            failed = true;
            if (report) report(std::string("summary.csv : ") + e.what());
        }
    }
    outcome.ExitStatus = failed ? 1 : 0;
    return outcome;
}

std::vector<std::string> ValidateRun(const BatchOptions &options) {
    std::vector<std::string> problems;
    auto simul = std::make_unique<Simul>();
    const InitialSettings &in = options.Settings.Initial;
    // Each initial file is read alone, so that a fault in one does not hide the other.
    if (in.EnvInitMode == 0) {
        simul->Settings = options.Settings;
        simul->Settings.Initial.DistInitMode = 2;
        try {
            simul->InitialisePlot();
        } catch (const std::exception &e) { problems.push_back("EnvFilePath «" + in.EnvFilePath + "» : " + e.what()); }
    }
    if (in.DistInitMode == 0) {
        simul->Settings = options.Settings;
        simul->Settings.Initial.EnvInitMode = 2;
        try {
            simul->InitialisePlot();
        } catch (const std::exception &e) {
            problems.push_back("DistFilePath «" + in.DistFilePath + "» : " + e.what());
        }
    }
    simul->Settings = options.Settings;
    try {
        simul->TakeSpeciesParameters();
    } catch (const std::exception &e) { problems.push_back(std::string("valeurs de l'espèce : ") + e.what()); }
    std::error_code ec;
    const std::pair<const char *, const std::string *> dirs[] = {
        {"--out", &options.OutDir}, {"--snapshots", &options.SnapshotDir}, {"--asc", &options.AscDir}};
    for (const auto &[option, dir] : dirs) {
        if (!dir->empty() && fs::exists(*dir, ec) && !fs::is_directory(*dir, ec))
            problems.push_back(std::string(option) + " «" + *dir + "» : existe déjà et n'est pas un dossier");
    }
    if (!options.TracePath.empty() && fs::is_directory(options.TracePath, ec))
        problems.push_back("--trace «" + options.TracePath + "» : c'est un dossier, pas un fichier");
    return problems;
}

namespace {

void PrintLine(std::FILE *stream, const std::string &line) {
    std::fputs(line.c_str(), stream);
    std::fputc('\n', stream);
}

// "1200/3000 pas de temps  4500 pas/s  reste environ 1 s" over the previous line.
class ProgressLine {
public:
    void Show(std::int64_t done, std::int64_t all) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::string line = "\r" + std::to_string(done) + "/" + std::to_string(all) + " pas de temps";
        if (seconds > 0 && done > 0) {
            const double rate = done / seconds;
            line += "  " + std::to_string(static_cast<std::int64_t>(rate)) + " pas/s";
            const std::int64_t left = static_cast<std::int64_t>((all - done) / rate + 0.5);
            line += "  reste environ " + std::to_string(left) + " s";
        }
        line += "\x1b[K";
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
        shown_ = true;
    }
    void Clear() {
        if (shown_) std::fputs("\r\x1b[K", stderr);
        shown_ = false;
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool shown_ = false;
};

}  // namespace

int BatchMain(const std::vector<std::string> &arguments) {
    ParsedCommandLine parsed = ParseCommandLine(arguments);
    const BatchOptions &options = parsed.Options;
    if (options.Help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (options.Version) {
        PrintLine(stdout, VersionText());
        return 0;
    }
    std::vector<std::string> &problems = parsed.Problems;
    if (options.Validate) {
        // Input files and outputs are worth checking only with settings that parsed.
        for (std::string &p : ValidateRun(options)) problems.push_back(std::move(p));
        for (const std::string &p : problems) PrintLine(stderr, "glebix-batch : " + p);
        if (problems.empty()) PrintLine(stderr, "glebix-batch : aucun problème trouvé");
        return problems.empty() ? 0 : 2;
    }
    if (!problems.empty()) {
        for (const std::string &p : problems) PrintLine(stderr, "glebix-batch : " + p);
        PrintLine(stderr, "glebix-batch : pour l'aide, tapez glebix-batch --help");
        return 2;
    }

    std::uint32_t master;
    const bool fromClock = !options.Seed;
    if (options.Seed) {
        master = *options.Seed;
    } else {
        auto clock = std::make_unique<Simul>();
        clock->ReseedFromClock();
        master = clock->RandomSeed;
        PrintLine(stderr, "glebix-batch : graine " + std::to_string(master) + " (tirée de l'horloge)");
    }

    ProgressLine line;
    const bool showProgress = !options.Quiet && ::isatty(STDERR_FILENO);
    std::function<void(std::int64_t, std::int64_t)> progress;
    if (showProgress) progress = [&line](std::int64_t done, std::int64_t all) { line.Show(done, all); };
    auto report = [&line](const std::string &message) {
        line.Clear();
        PrintLine(stderr, message);
    };
    const BatchOutcome outcome = RunBatch(options, master, fromClock, report, progress);
    line.Clear();
    return outcome.ExitStatus;
}

}  // namespace glebix::batch
