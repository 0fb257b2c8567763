#include "SensitivityOptions.h"

#include <algorithm>
#include <set>

#include "Messages.h"
#include "Sampling.h"

namespace glebix::batch {

namespace {

// The options that only sampling or analysing take.
const std::set<std::string> &SensitivityOnly() {
    static const std::set<std::string> names = {"--factors", "--samples",    "--levels",     "--pool",   "--design-out",
                                                "--method",  "--metric",     "--indices",    "--figure", "--bootstrap",
                                                "--at-step", "--every-step", "--max-dropped"};
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

}  // namespace

bool AsksSensitivity(const BatchOptions &options) {
    return !options.Sensitivity.SampleMethod.empty() || !options.Sensitivity.AnalysePath.empty();
}

void CheckSensitivity(Gathered &g) {
    const SensitivityOptions &s = g.options.Sensitivity;
    const bool sample = Seen(g, "--sample"), analyse = Seen(g, "--analyse");
    if (!sample && !analyse) {
        for (const std::string &option : g.seen)
            if (SensitivityOnly().count(option)) g.problems.push_back(Message("option.sensitivity_only", {option}));
        return;
    }
    if (sample && analyse) {
        g.problems.push_back(Message("option.sensitivity_both"));
        return;
    }
    if (sample) {
        CheckMethod(g, "--sample", s.SampleMethod);
        Needs(g, "--sample", {"--factors", "--design-out", "--seed"});
        if (s.SampleMethod != "factorial") Needs(g, "--sample", {"--samples"});
        RefuseOthers(g, "--sample", {"--factors", "--samples", "--levels", "--pool", "--design-out"});
        return;
    }
    if (!s.Method.empty()) CheckMethod(g, "--method", s.Method);
    Needs(g, "--analyse", {"--factors", "--method", "--metric", "--indices", "--seed"});
    if (s.AtStep && s.EveryStep) g.problems.push_back(Message("option.step_pair"));
    RefuseOthers(g, "--analyse",
                 {"--factors", "--method", "--metric", "--indices", "--figure", "--bootstrap", "--at-step",
                  "--every-step", "--max-dropped"});
}

}  // namespace glebix::batch
