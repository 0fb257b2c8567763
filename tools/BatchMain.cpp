#include "BatchMain.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "Simul.h"
#include "Validate.h"

namespace glebix::batch {

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

// --validate: the problems of the command line, then those of the inputs and outputs.
int Validate(const BatchOptions &options, std::vector<std::string> problems) {
    // Input files and outputs are worth checking only with settings that parsed.
    for (std::string &p : ValidateRun(options)) problems.push_back(std::move(p));
    for (const std::string &p : problems) PrintLine(stderr, "glebix-batch : " + p);
    if (problems.empty()) PrintLine(stderr, "glebix-batch : aucun problème trouvé");
    return problems.empty() ? 0 : 2;
}

int Run(const BatchOptions &options) {
    const bool fromClock = !options.Seed;
    const std::uint32_t master = options.Seed ? *options.Seed : ClockSeed();
    if (fromClock) PrintLine(stderr, "glebix-batch : graine " + std::to_string(master) + " (tirée de l'horloge)");

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
    if (options.Validate) return Validate(options, std::move(parsed.Problems));
    if (!parsed.Problems.empty()) {
        for (const std::string &p : parsed.Problems) PrintLine(stderr, "glebix-batch : " + p);
        PrintLine(stderr, "glebix-batch : pour l'aide, tapez glebix-batch --help");
        return 2;
    }
    return Run(options);
}

}  // namespace glebix::batch
