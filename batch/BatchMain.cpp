#include "BatchMain.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <new>
#include <pthread.h>
#include <thread>
#include <unistd.h>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "Errors.h"
#include "EventInputs.h"
#include "ScheduleChecks.h"
#include "FileIo.h"
#include "Messages.h"
#include "OutputPlaces.h"
#include "Repeat.h"
#include "SensitivityOptions.h"
#include "SensitivityRun.h"
#include "ResultFile.h"
#include "Simul.h"
#include "StudyFileLocks.h"
#include "StudyOutputs.h"
#include "ShapeCheck.h"
#include "TerminalText.h"
#include "Validate.h"
#include "BatchWarnings.h"

namespace glebix::batch {

using namespace glebix::invocation;

// The core's names are this layer's words.
using namespace glebix::core;

namespace {

// Longest list of problems printed; the rest are counted.
constexpr std::size_t MaxProblemLines = 100;

// Every text the program shows goes through here, in the terminal's encoding.
void Emit(const std::string &text, std::FILE *stream) { std::fputs(ForTerminal(text).c_str(), stream); }

// One line on stderr, control characters shown as \xNN so that it stays one line.
void PrintLine(const std::string &line) { Emit(EscapeControls(line) + '\n', stderr); }

void PrintProblems(const std::vector<std::string> &problems) {
    for (std::size_t k = 0; k < problems.size() && k < MaxProblemLines; ++k)
        PrintLine(Message("batch.line", {problems[k]}));
    if (problems.size() > MaxProblemLines)
        PrintLine(
            Message("batch.line", {Message("more_problems", {std::to_string(problems.size() - MaxProblemLines)})}));
}

// Writes `text` to stdout; 0, or 1 after saying on stderr that it could not be written.
int PrintToStdout(const std::string &text) {
    Emit(text, stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    PrintLine(Message("batch.stdout_failed", {LocalIoErrorMessage(errno, "-")}));
    return 1;
}

// "1200/3000 pas de temps  4500 pas/s  reste environ 1 s" over the previous line.
class ProgressLine {
public:
    void Show(std::int64_t done, std::int64_t all) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::string line = "\r" + Message("progress.steps", {std::to_string(done), std::to_string(all)});
        if (seconds > 0 && done > 0) {
            const double rate = done / seconds;
            line += "  " + Message("progress.rate", {std::to_string(static_cast<std::int64_t>(rate))});
            const std::int64_t left = static_cast<std::int64_t>((all - done) / rate + 0.5);
            line += "  " + Message("progress.left", {std::to_string(left)});
        }
        line += "\x1b[K";
        Emit(line, stderr);
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

// The interrupting signals, taken by a thread of their own: the first asks the runs
// to stop after their current step (StopSignal); the second ends the program at once
// after removing the temporary files. Every thread started later inherits the block.
class SignalWatch {
public:
    SignalWatch() {
        sigemptyset(&set_);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set_, s);
        pthread_sigmask(SIG_BLOCK, &set_, nullptr);
        try {
            std::thread([set = set_] { Watch(set); }).detach();
        } catch (const std::exception &) {
            // No thread for the watch: a handler that can only note the first signal.
            pthread_sigmask(SIG_UNBLOCK, &set_, nullptr);
            struct sigaction action {};
            action.sa_handler = [](int s) {
                if (StopSignal().exchange(s) != 0) ::_exit(128 + s);
            };
            for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
        }
    }

private:
    [[noreturn]] static void Watch(sigset_t set) {
        for (;;) {
            int s = 0;
            if (sigwait(&set, &s) != 0) continue;
            if (StopSignal().exchange(s) == 0) continue;
            RemoveTemporaries();
            ::_exit(128 + s);
        }
    }
    sigset_t set_;
};

void PrintWarnings(const StudyWarnings &warnings) {
    for (const std::string &w : warnings.All()) PrintLine(Message("batch.warning", {w}));
}

// Under --strict a warning is a usage error: says so after the warnings.
bool RefusedByStrict(const BatchOptions &options, const StudyWarnings &warnings) {
    if (!options.Strict || warnings.All().empty()) return false;
    PrintLine(Message("batch.line", {Message("strict_refusal")}));
    return true;
}

// --validate: the problems of the command line, then those of the inputs and outputs,
// then the warnings, which fail the check only under --strict.
int Validate(const BatchOptions &options, std::vector<std::string> problems) {
    const bool parsed = problems.empty();
    for (std::string &p : ValidateRun(options)) problems.push_back(std::move(p));
    PrintProblems(problems);
    // The warnings are worth looking for only with settings that parsed.
    StudyWarnings warnings;
    if (parsed) warnings = CollectWarnings(options);
    PrintWarnings(warnings);
    if (RefusedByStrict(options, warnings)) return 2;
    if (problems.empty()) PrintLine(Message("batch.line", {Message("no_problem")}));
    return problems.empty() ? 0 : 2;
}

int UsageError(const std::vector<std::string> &problems) {
    PrintProblems(problems);
    PrintLine(Message("batch.line", {Message("help_hint")}));
    return 2;
}

int Run(const BatchOptions &options) {
    if (auto problems = PlotShapeProblems(options); !problems.empty()) return UsageError(problems);
    if (auto problems = EventScheduleProblems(options); !problems.empty()) return UsageError(problems);
    if (auto problems = CheckOutputPlaces(options); !problems.empty()) return UsageError(problems);
    const StudyWarnings warnings = CollectWarnings(options);
    PrintWarnings(warnings);
    if (RefusedByStrict(options, warnings)) return 2;
    FolderLocks locks;
    if (const std::string problem = locks.Acquire(OutputFolders(options)); !problem.empty()) {
        PrintLine(Message("batch.line", {problem}));
        return 2;
    }
    StudyFileLocks studyLocks;
    if (const std::string problem = studyLocks.Acquire(StudyWideFiles(options)); !problem.empty()) {
        PrintLine(Message("batch.line", {problem}));
        return 2;
    }
    if (const int status = WriteSampledDesign(options, PrintLine); status != 0) return status;
    const SignalWatch signals;
    // A resumed run has its seeds from the state file.
    const bool fromClock = !options.Seed && !options.Resumed;
    const std::uint32_t master = options.Resumed ? options.Resumed->MasterSeed
                                 : options.Seed  ? *options.Seed
                                                 : ClockSeed();
    if (fromClock) PrintLine(Message("batch.line", {Message("clock_seed", {std::to_string(master)})}));

    ProgressLine line;
    std::function<void(std::int64_t, std::int64_t)> progress;
    if (!options.Quiet && ::isatty(STDERR_FILENO))
        progress = [&line](std::int64_t done, std::int64_t all) { line.Show(done, all); };
    auto report = [&line](const std::string &message) {
        line.Clear();
        const std::string program = Message("batch.line", {""});
        PrintLine(message.rfind(program, 0) == 0 ? message : program + message);
    };
    const BatchOutcome outcome = RunBatch(options, master, fromClock, report, progress, &warnings);
    line.Clear();
    const int stop = StopSignal().load();
    return stop != 0 ? 128 + stop : outcome.ExitStatus;
}

// --repeat: the manifest's run replaces the settings, the seed and the inputs. Without
// an output folder the result file goes to the working directory, where it must not
// replace one already there.
bool PrepareRepeat(BatchOptions &options) {
    std::vector<std::string> problems = LoadRepeat(options.RepeatManifest, options);
    if (problems.empty() && OutputAsked(options, "--out").empty()) {
        options.Outputs["--out"] = ".";
        if (std::filesystem::exists(Join(".", ResultFileName())))
            problems.push_back(Message("repeat.result_exists", {ResultFileName()}));
    }
    for (const std::string &p : problems) PrintLine(Message("batch.line", {p}));
    return problems.empty();
}

int Main(const std::vector<std::string> &arguments) {
    ParsedCommandLine parsed = ParseCommandLine(arguments);
    const BatchOptions &options = parsed.Options;
    if (options.Help) return PrintToStdout(UsageText());
    if (options.Version) return PrintToStdout(VersionText() + "\n");
    if (options.Validate && !options.RepeatManifest.empty()) {
        BatchOptions repeat = options;
        for (std::string &p : LoadRepeat(repeat.RepeatManifest, repeat)) parsed.Problems.push_back(std::move(p));
        return Validate(repeat, std::move(parsed.Problems));
    }
    if (options.Validate) return Validate(options, std::move(parsed.Problems));
    if (!parsed.Problems.empty()) return UsageError(parsed.Problems);
    if (AsksCalibration(options)) {
        const SignalWatch signals;
        const int status = RunSensitivity(options, PrintLine);
        const int stop = StopSignal().load();
        return stop != 0 ? 128 + stop : status;
    }
    if (AsksSensitivity(options)) return RunSensitivity(options, PrintLine);
    if (options.RepeatManifest.empty()) return Run(options);
    BatchOptions repeat = options;
    if (!PrepareRepeat(repeat)) return 2;
    return Run(repeat);
}

}  // namespace

int BatchMain(const std::vector<std::string> &arguments) {
    NameMissingFolders(true);
    try {
        return Main(arguments);
    } catch (const std::bad_alloc &) {
        RemoveTemporaries();
        PrintLine(Message("batch.line", {LocalMessage(MsgOutOfMemory)}));
        return 1;
    }
}

}  // namespace glebix::batch
