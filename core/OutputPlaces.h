// The places a batch writes, checked before anything runs: no output may be an input
// file or another output of the same invocation, every output folder must exist or
// be creatable and be writable, and no other invocation may write into it meanwhile.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "FolderLocks.h"
#include "Settings.h"
#include "StudyOptions.h"

namespace glebix::core {

// `text` with control characters shown as \xNN, so that a message stays one line.
std::string EscapeControls(const std::string &text);
// "«path»", escaped as above.
std::string QuotedPath(const std::string &path);

struct OutputKind;

// The file that an input path reads: for an initial file, the file before a band or a
// variable chosen after its last ':' (SplitRasterPath), else the path.
std::string InputFileRead(const InputFile &input);

// The refusal of `kind`'s output at `path` written by a run with `settings` (as the
// language bindings write one at any step) when it would replace a file that the run
// reads, naming both; nothing when it would not. The batch tool's checks below apply
// the same rule to every output of an invocation.
std::optional<std::string> InputClash(const TSettings &settings, const OutputKind &kind, const std::string &path);

// Every problem of the output places, one line each: clashes with an input or between
// outputs (naming both), paths that cannot be files or folders, folders that a probe
// file cannot be created in. Creates nothing that stays.
std::vector<std::string> CheckOutputPlaces(const BatchOptions &options);

// The folders of the outputs asked for: a folder output's own, a file output's
// folder, each once.
std::vector<std::string> OutputFolders(const BatchOptions &options);

}  // namespace glebix::core
