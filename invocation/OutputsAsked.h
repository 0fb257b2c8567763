// The outputs an invocation asks for, by the output registry's rows: the place its
// options give each kind, the value of the option that tunes it, and the place a run's
// plan gives each of the run's own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "OutputRegistry.h"
#include "RunPlan.h"
#include "StudyOptions.h"

namespace glebix::invocation {

using namespace glebix::core;

// The path the invocation gives a kind of output: its option's, or the one its rule
// gives (the manifest and the summary, in the first output folder); empty when none.
std::string AskedPath(const BatchOptions &options, const OutputKind &kind);

// The value given to the option that tunes `kind`; none when it was not given.
std::optional<int> TuningOf(const BatchOptions &options, const OutputKind &kind);

// Whether the output at `path` holds files of recorded steps as `options` ask, and
// `name` (a file name) is one of them.
bool IsStepFileOf(const OutputKind &kind, const BatchOptions *options, const std::string &name);

// The place `plan` gives its run's output of `kind` (a planned one); empty when the
// output is not asked for.
const std::string &PlaceOf(const RunPlan &plan, const OutputKind &kind);
void SetPlace(RunPlan &plan, const OutputKind &kind, std::string path);
// The place of the run's output that `option` asks for ("--out"), and of its manifest.
const std::string &PlaceOf(const RunPlan &plan, std::string_view option);
const std::string &ManifestPlace(const RunPlan &plan);

}  // namespace glebix::invocation
