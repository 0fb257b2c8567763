#include "SensitivityOptions.h"

#include <algorithm>
#include <set>

#include "Messages.h"
#include "CalibrationStudy.h"
#include "OutputRegistry.h"
#include "Sampling.h"

namespace glebix::batch {

namespace {

// The options that only sampling or analysing take.
const std::set<std::string> &SensitivityOnly() {
    static const std::set<std::string> names = {
        "--factors", "--samples",   "--levels",        "--pool",         "--design-out",   "--method",    "--metric",
        "--indices", "--bootstrap", "--at-step",       "--every-step",   "--max-dropped",  "--calibrate", "--observed",
        "--accept",  "--figure",    "--observed-grid", "--grid-compare", "--prior-sample", "--gather"};
    return names;
}

// What each of the two may be given besides its own options.
const std::set<std::string> &AlwaysAllowed() {
    static const std::set<std::string> names = {"--seed", "--quiet", "--help", "--version"};
    return names;
}

bool Seen(const Gathered &g, const char *option) {
    return std::find(g.seen.begin(), g.seen.end(), option) != g.seen.end();
}

std::string MethodList() {
    std::string list;
    for (const analysis::Method m : {analysis::Method::Factorial, analysis::Method::Lhs, analysis::Method::Sobol,
                                     analysis::Method::Saltelli, analysis::Method::Morris})
        list += (list.empty() ? "" : ", ") + std::string(analysis::MethodName(m));
    return list;
}

void CheckMethod(Gathered &g, const char *option, const std::string &name) {
    if (!analysis::MethodNamed(name)) g.problems.push_back(Message("option.bad_method", {option, name, MethodList()}));
}

void Needs(Gathered &g, const char *mode, std::initializer_list<const char *> needed) {
    for (const char *option : needed)
        if (!Seen(g, option)) g.problems.push_back(Message("option.needed", {mode, option}));
}

// Only `own`, the sensitivity options of the mode, and those always allowed.
void RefuseOthers(Gathered &g, const char *mode, const std::set<std::string> &own) {
    std::set<std::string> refused;
    for (const std::string &option : g.seen) {
        if (own.count(option) || AlwaysAllowed().count(option) || option == mode) continue;
        if (refused.insert(option).second) g.problems.push_back(Message("option.not_with_sensitivity", {option, mode}));
    }
}

void CheckCalibrationMethod(Gathered &g, const std::string &name) {
    if (!analysis::CalibrationMethodNamed(name))
        g.problems.push_back(Message("option.bad_method", {"--method", name, "abc-rejection, abc-smc"}));
}

// --calibrate takes the options of a run's settings besides its own.
void CheckCalibrate(Gathered &g) {
    CheckCalibrationMethod(g, g.options.Sensitivity.Method);
    Needs(g, "--calibrate", {"--method", "--factors", "--observed", "--samples", "--seed", "--out"});
    RefuseOthers(g, "--calibrate",
                 {"--method", "--factors", "--observed", "--samples", "--accept", "--replicates", "--out", "--steps",
                  "--set", "--params", "--species", "--jobs", "--observed-grid", "--grid-compare", "--figure",
                  "--prior-sample", "--slice", "--gather"});
    // A batch's slices are run first, then gathered by another invocation.
    if (Seen(g, "--slice") && Seen(g, "--gather")) g.problems.push_back(Message("option.slice_gather"));
    const std::string &compare = g.options.Sensitivity.GridCompare;
    if (!compare.empty() && !analysis::GridCompareNamed(compare))
        g.problems.push_back(Message("calibration.grid_compare", {compare}));
    const std::string &prior = g.options.Sensitivity.PriorSample;
    if (!prior.empty() && !analysis::PriorSampleNamed(prior))
        g.problems.push_back(Message("calibration.prior_sample", {prior}));
    // abc-smc draws its first population itself.
    if (!prior.empty() && g.options.Sensitivity.Method == "abc-smc")
        g.problems.push_back(Message("option.needed", {"--prior-sample", "--method abc-rejection"}));
}

// --analyse TABLE --method abc-rejection: the table's runs calibrated.
void CheckTableCalibration(Gathered &g) {
    if (analysis::CalibrationMethodNamed(g.options.Sensitivity.Method) != analysis::CalibrationMethod::Rejection)
        g.problems.push_back(Message("option.bad_method", {"--method", g.options.Sensitivity.Method, "abc-rejection"}));
    Needs(g, "--analyse", {"--factors", "--observed", "--out"});
    RefuseOthers(g, "--analyse", {"--factors", "--method", "--observed", "--accept", "--out", "--figure"});
}

// Whether a run's output is asked (--out, --table, ...).
bool AsksRunOutput(const Gathered &g) {
    return std::any_of(g.seen.begin(), g.seen.end(), [](const std::string &o) { return OutputKindOf(o) != nullptr; });
}

// --sample: the design written (--design-out), run at once as --design runs one (a
// run's outputs given), or both.
void CheckSample(Gathered &g) {
    SensitivityOptions &s = g.options.Sensitivity;
    CheckMethod(g, "--sample", s.SampleMethod);
    Needs(g, "--sample", {"--factors", "--seed"});
    if (s.SampleMethod != "factorial") Needs(g, "--sample", {"--samples"});
    s.RunsSample = AsksRunOutput(g);
    if (!s.RunsSample) {
        if (!Seen(g, "--design-out")) g.problems.push_back(Message("option.sample_output"));
        RefuseOthers(g, "--sample", {"--factors", "--samples", "--levels", "--pool", "--design-out"});
        return;
    }
    // A run's options are those of a study, the design being the sample's.
    for (const char *option : {"--design", "--resume", "--repeat"})
        if (Seen(g, option)) g.problems.push_back(Message("option.not_with_sample_run", {option}));
    for (const std::string &option : g.seen)
        if (SensitivityOnly().count(option) && option != "--factors" && option != "--samples" && option != "--levels" &&
            option != "--pool" && option != "--design-out")
            g.problems.push_back(Message("option.not_with_sample_run", {option}));
}

}  // namespace

analysis::SampleRequest SampleRequestOf(const BatchOptions &options) {
    const SensitivityOptions &s = options.Sensitivity;
    analysis::SampleRequest request;
    request.Kind = analysis::MethodNamed(s.SampleMethod).value_or(request.Kind);
    request.Samples = s.Samples.value_or(0);
    request.Seed = options.Seed.value_or(0);
    request.Levels = s.Levels.value_or(request.Levels);
    request.Pool = s.Pool.value_or(0);
    return request;
}

bool AsksCalibration(const BatchOptions &options) {
    return options.Sensitivity.Calibrate ||
           (!options.Sensitivity.AnalysePath.empty() && analysis::CalibrationMethodNamed(options.Sensitivity.Method));
}

bool AsksSensitivity(const BatchOptions &options) {
    if (options.Sensitivity.RunsSample) return false;
    return !options.Sensitivity.SampleMethod.empty() || !options.Sensitivity.AnalysePath.empty();
}

void CheckSensitivity(Gathered &g) {
    const SensitivityOptions &s = g.options.Sensitivity;
    const bool sample = Seen(g, "--sample"), analyse = Seen(g, "--analyse"), calibrate = Seen(g, "--calibrate");
    if (calibrate && (sample || analyse)) {
        g.problems.push_back(
            Message("option.not_with_sensitivity", {sample ? "--sample" : "--analyse", "--calibrate"}));
        return;
    }
    if (calibrate) {
        CheckCalibrate(g);
        return;
    }
    if (analyse && analysis::CalibrationMethodNamed(s.Method)) {
        CheckTableCalibration(g);
        return;
    }
    if (!sample && !analyse) {
        for (const std::string &option : g.seen)
            if (option == "--gather")  // a calibration's batch is gathered, nothing else
                g.problems.push_back(Message("option.needed", {option, "--calibrate"}));
            else if (SensitivityOnly().count(option))
                g.problems.push_back(Message("option.sensitivity_only", {option}));
        return;
    }
    if (sample && analyse) {
        g.problems.push_back(Message("option.sensitivity_both"));
        return;
    }
    if (sample) {
        CheckSample(g);
        return;
    }
    if (!s.Method.empty()) CheckMethod(g, "--method", s.Method);
    if (Seen(g, "--observed") || Seen(g, "--accept"))
        g.problems.push_back(Message("option.needed", {Seen(g, "--observed") ? "--observed" : "--accept",
                                                       "--calibrate, --analyse --method abc-rejection"}));
    Needs(g, "--analyse", {"--factors", "--method", "--metric", "--indices", "--seed"});
    if (s.AtStep && s.EveryStep) g.problems.push_back(Message("option.step_pair"));
    RefuseOthers(g, "--analyse",
                 {"--factors", "--method", "--metric", "--indices", "--figure", "--bootstrap", "--at-step",
                  "--every-step", "--max-dropped"});
}

}  // namespace glebix::batch
