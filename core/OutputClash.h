// The rule that no output replaces a file a run reads, nor the place of another output:
// the places an output takes (its file or folder, the folder of a file, the files a
// folder holds by name) compared with each other and with the inputs. The language
// bindings' writers check their place by it (RunSession::RefuseInputClash); the batch
// tool compares every output of an invocation by it (invocation/OutputPlaces.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "InputRecords.h"
#include "OutputRegistry.h"
#include "Settings.h"

namespace glebix::core {

// `text` with control characters shown as \xNN, so that a message stays one line.
std::string EscapeControls(const std::string &text);
// "«path»", escaped as above.
std::string QuotedPath(const std::string &path);

// The file that an input path reads: for an initial file, the file before a band or a
// variable chosen after its last ':' (SplitRasterPath), else the path.
std::string InputFileRead(const InputFile &input);

// One place a run reads or writes.
struct ClashPlace {
    std::string name;  // how a message names it: "--trace «t.csv»"
    std::string path;  // as given
    std::string key;   // resolved: absolute, symbolic links followed where they exist
    bool folder = false;
    bool state = false;  // a state file: a resumed run may write the state it read
    // The output whose folder holds files of recorded steps (maps, grids), and whether
    // the option that tunes it was given; nullptr: none.
    const OutputKind *steps = nullptr;
    bool stepsTuned = false;
};

// `path` absolute, symbolic links followed where they exist.
std::string Resolved(const std::string &path);
ClashPlace MakePlace(std::string name, const std::string &path, bool folder);
// Whether `path` lies below `folder` (both resolved).
bool Inside(const std::string &path, const std::string &folder);

// The setting or option that names an input.
std::string InputName(const InputFile &in);
// An input at the file it reads, named by its path as given.
ClashPlace InputPlace(const InputFile &in);

// The places of an output of `kind` at `path`: the output, the folder of a file, the
// files a folder holds by name. The output is named by its option, or by its path alone
// without `byOption` (as the language bindings write it); `tuned`: the option that tunes
// it was given.
void AddOutputPlaces(const OutputKind &kind, const std::string &path, std::vector<ClashPlace> &places, bool byOption,
                     bool tuned);

// A file that lies in a folder of files of recorded steps under one of their names.
std::optional<std::string> StepFileClash(const ClashPlace &file, const ClashPlace &folder);
// The clash of two places, if any: the same file, a file where a folder must be, or a
// file among the snapshots.
std::optional<std::string> Clash(const ClashPlace &a, const ClashPlace &b);

// The refusal of `kind`'s output at `path` written by a run with `settings` (as the
// language bindings write one at any step) when it would replace a file that the run
// reads, naming both; nothing when it would not.
std::optional<std::string> InputClash(const TSettings &settings, const OutputKind &kind, const std::string &path);

}  // namespace glebix::core
