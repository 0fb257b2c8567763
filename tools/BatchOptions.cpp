#include "BatchOptions.h"

#include <optional>

#include "Errors.h"
#include "ParamsFile.h"
#include "SettingsTable.h"
#include "SpeciesFile.h"

#ifndef GLEBIX_VERSION
#define GLEBIX_VERSION "unknown"
#endif

namespace glebix::batch {

std::string UsageText() {
    return R"(Usage: glebix-batch [options]
Runs Glebix without windows: set-up, then the time steps, then the outputs.

  --steps N            number of time steps (default 300; 0 sets up and ends)
  --seed S             master seed, unsigned 32-bit decimal (default: from the clock)
  --set NAME=VALUE     one setting by name; repeatable, later ones win
  --params FILE        NAME=VALUE lines (blank lines and # comments allowed),
                       applied before the --set options
  --species FILE       a species parameter file, applied before --params
  --out DIR            write the result file RireVed1a1p1.txt into DIR
  --trace FILE         CSV with one row per step
  --snapshots DIR      PNG maps of the densities, every K steps and after the last
  --every K            steps between two snapshots (default 10)
  --asc DIR            final density.asc and compacted.asc (ESRI ASCII grids)
  --replicates R       R runs, each into run-001/, run-002/ ... of every output,
                       with a summary.csv across runs
  --jobs J             runs at a time (default: the number of cores)
  --validate           check every option, setting and input file, run nothing
  --quiet              no progress line
  --help, --version

Settings: Survival, Fecundity, MortalityAlpha, CompactionC, DispersalSensitivity,
DispersalSigma, ResponseShape (0-2), ResponseOptimum, ResponseTolerance,
SurvivalEnvSensitive, FecundityEnvSensitive, DispersalFirst, EnvInitMode (0-2), EnvMean,
EnvVariability, EnvConstant, EnvFilePath, DistInitMode (0-4), DistConstant, DistMean,
DistVariability, DistFilePath, EnvDynamic, DecompactionD, ChartCellX, ChartCellY.
Reals take a point ("0.4"), flags on/off/true/false/1/0, modes their numbers.

Exit status: 0 every run reached its last step, 1 a run ended with an error,
2 a usage error.
)";
}

std::string VersionText() { return std::string("glebix-batch ") + GLEBIX_VERSION; }

namespace {

// The options that take a value.
bool TakesValue(const std::string &option) {
    static const char *const withValue[] = {"--steps", "--seed",  "--set",        "--params",   "--species", "--out",
                                            "--trace", "--every", "--snapshots", "--asc", "--replicates", "--jobs"};
    for (const char *o : withValue)
        if (option == o) return true;
    return false;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string> &arguments) {
    ParsedCommandLine parsed;
    BatchOptions &o = parsed.Options;
    auto &problems = parsed.Problems;
    o.Arguments = arguments;

    std::optional<std::string> speciesPath;
    std::vector<std::string> paramsPaths;
    std::vector<std::string> sets;

    for (std::size_t k = 0; k < arguments.size(); ++k) {
        std::string option = arguments[k];
        std::string value;
        bool hasValue = false;
        if (option.rfind("--", 0) == 0) {
            const auto equals = option.find('=');
            if (equals != std::string::npos) {
                value = option.substr(equals + 1);
                option = option.substr(0, equals);
                hasValue = true;
            }
        }
        if (TakesValue(option)) {
            if (!hasValue) {
                if (k + 1 >= arguments.size()) {
                    problems.push_back(option + ": a value is missing");
                    continue;
                }
                value = arguments[++k];
            }
        } else if (hasValue) {
            problems.push_back(option + " takes no value");
            continue;
        }

        auto count = [&](int minimum, int &target) {
            if (auto v = ParseCount(value, minimum))
                target = *v;
            else
                problems.push_back(option + ": \"" + value + "\" is not a whole number of at least " +
                                   std::to_string(minimum));
        };
        if (option == "--steps") {
            if (ParseCount(value, 0))
                o.Settings.Run.StepCount = value;
            else
                problems.push_back("--steps: \"" + value + "\" is not a whole number of at least 0");
        } else if (option == "--seed") {
            if (auto s = ParseSeed(value))
                o.Seed = *s;
            else
                problems.push_back("--seed: \"" + value + "\" is not an unsigned 32-bit decimal number");
        } else if (option == "--set") {
            sets.push_back(value);
        } else if (option == "--params") {
            paramsPaths.push_back(value);
        } else if (option == "--species") {
            speciesPath = value;
        } else if (option == "--out" || option == "--trace" || option == "--snapshots" || option == "--asc") {
            if (value.empty()) {
                problems.push_back(option + ": the path is empty");
                continue;
            }
            (option == "--out" ? o.OutDir : option == "--trace" ? o.TracePath
                                          : option == "--snapshots" ? o.SnapshotDir : o.AscDir) = value;
        } else if (option == "--every") {
            count(1, o.Every);
        } else if (option == "--replicates") {
            count(1, o.Replicates);
            // Every run keeps a record until the batch ends; a larger sweep belongs to
            // several invocations.
            if (o.Replicates > MaxReplicates) {
                problems.push_back("--replicates: at most " + std::to_string(MaxReplicates) + " runs at once");
                o.Replicates = 1;
            }
            o.ReplicateLayout = true;
        } else if (option == "--jobs") {
            count(1, o.Jobs);
        } else if (option == "--validate") {
            o.Validate = true;
        } else if (option == "--quiet") {
            o.Quiet = true;
        } else if (option == "--help" || option == "-h") {
            o.Help = true;
        } else if (option == "--version") {
            o.Version = true;
        } else if (option.rfind("-", 0) == 0) {
            problems.push_back("unknown option " + option);
        } else {
            problems.push_back("unexpected argument \"" + option + "\"");
        }
    }

    // Settings, in their order of precedence.
    if (speciesPath) {
        o.Inputs.push_back({"species", *speciesPath});
        try {
            ApplySpeciesFile(ReadSpeciesFile(*speciesPath), o.Settings.Species);
        } catch (const GlebixError &e) {
            problems.push_back("--species " + *speciesPath + ": " + e.what());
        }
    }
    for (const std::string &path : paramsPaths) {
        o.Inputs.push_back({"params", path});
        for (std::string &p : ReadParamsFile(path, o.Settings)) problems.push_back(std::move(p));
    }
    for (const std::string &set : sets) {
        const auto equals = set.find('=');
        if (equals == std::string::npos) {
            problems.push_back("--set: \"" + set + "\" is not NAME=VALUE");
            continue;
        }
        if (auto p = ApplySetting(set.substr(0, equals), set.substr(equals + 1), o.Settings))
            problems.push_back("--set: " + *p);
    }
    return parsed;
}

}  // namespace glebix::batch
