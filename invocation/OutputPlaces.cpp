#include "OutputPlaces.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <functional>
#include <filesystem>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "Errors.h"
#include "FileIo.h"
#include "EventInputs.h"
#include "InitialSources.h"
#include "Messages.h"
#include "OutputClash.h"
#include "OutputsAsked.h"
#include "RunPlan.h"
#include "StudyOutputs.h"

namespace glebix::invocation {

namespace fs = std::filesystem;

namespace {

// The initial files that `settings` name but the runs do not read (their mode is
// another): still the user's files, which no output may replace.
void AddUnreadInitialFiles(const TSettings &settings, std::vector<InputFile> &inputs) {
    for (const InitialSource &source : InitialSources(settings.Initial))
        if (!source.read && !source.path.empty()) inputs.push_back({std::string(source.role), source.path});
}

// The input files of the invocation's runs, and the initial files their settings name
// without reading them: with a design, those of the points too (of the first ones, as
// for the outputs below).
std::vector<InputFile> AllInputs(const BatchOptions &options) {
    std::vector<InputFile> inputs = RunInputs(options);
    if (!options.Resumed) AddUnreadInitialFiles(options.Settings, inputs);
    const std::size_t comparedPoints = options.StudyDesign ? std::min<std::size_t>(options.Points.size(), 1000) : 0;
    for (std::size_t k = 0; k < comparedPoints; ++k) {
        const TSettings settings = PointSettings(options, options.Points[k]);
        for (InputFile &in : RunInputs(options, &settings))
            if (!InputSetting(in.Role).empty()) inputs.push_back(std::move(in));
        AddUnreadInitialFiles(settings, inputs);
    }
    return inputs;
}

std::string EmptyInputMessage(const std::string &name) { return Message("place.empty_input", {name}); }

// An empty path names no file: it is said as such, and has no place to compare.
std::vector<ClashPlace> InputPlaces(const BatchOptions &options, const std::vector<InputFile> &inputs) {
    std::vector<ClashPlace> places;
    for (const InputFile &in : inputs)
        if (!in.Path.empty()) places.push_back(InputPlace(in));
    if (options.Resumed) {
        places.push_back(MakePlace("--resume " + QuotedPath(options.ResumePath), options.ResumePath, false));
        places.back().state = true;
    }
    return places;
}

// The files and folders the invocation's run `index` writes.
void AddRunPlaces(const BatchOptions &options, const StudyLayout &layout, std::size_t index,
                  std::vector<ClashPlace> &places) {
    const RunPlan plan = PlanRun(options, PlanStudyRun(layout, index, 0));
    for (const OutputKind &kind : OutputKinds())
        if (kind.scope == OutputScope::Run)
            AddOutputPlaces(kind, PlaceOf(plan, kind), places, true, TuningOf(options, kind).has_value());
}

// The files written for the whole invocation (the study table, the summary), and
// their folders.
std::vector<ClashPlace> StudyPlaces(const BatchOptions &options) {
    std::vector<ClashPlace> places;
    for (const OutputKind &kind : OutputKinds())
        if (kind.scope == OutputScope::Study)
            AddOutputPlaces(kind, AskedPath(options, kind), places, true, TuningOf(options, kind).has_value());
    return places;
}

// The places of the invocation's first run and of the study.
std::vector<ClashPlace> OutputPlaceList(const BatchOptions &options) {
    std::vector<ClashPlace> places;
    const StudyLayout layout = Layout(options);
    if (RunCount(layout) > 0) AddRunPlaces(options, layout, 0, places);
    for (ClashPlace &p : StudyPlaces(options)) places.push_back(std::move(p));
    return places;
}

// The number a run folder's name gives ("point-007" with "point-" gives 7), when the
// name is exactly the one that number's folder has.
std::optional<int> FolderNumber(const std::string &name, const char *prefix, std::string (*nameOf)(int)) {
    const std::size_t start = std::char_traits<char>::length(prefix);
    if (name.compare(0, start, prefix) != 0) return std::nullopt;
    int number = 0;
    const auto [end, ec] = std::from_chars(name.data() + start, name.data() + name.size(), number);
    if (ec != std::errc() || end != name.data() + name.size() || number < 1 || nameOf(number) != name)
        return std::nullopt;
    return number;
}

// The invocation's run whose folder holds `key` (resolved) below the output place
// `base`, by the layout's rule (point-NNN/run-RRR, or run-RRR): found without listing
// the runs. With a point's folder alone, its first run.
std::optional<std::size_t> RunHolding(const StudyLayout &layout, const std::string &base, const std::string &key) {
    if (!Inside(key, base) || !(layout.HasDesign || layout.ReplicateFolders)) return std::nullopt;
    std::vector<std::string> parts;
    for (const auto &part : fs::path(key.substr(base.size())).relative_path()) parts.push_back(part.string());
    std::size_t position = 0;
    if (layout.HasDesign) {
        const std::optional<int> point = FolderNumber(parts.front(), "point-", PointFolderName);
        const auto at = std::lower_bound(layout.Points.begin(), layout.Points.end(), point.value_or(0));
        if (!point || at == layout.Points.end() || *at != *point) return std::nullopt;
        position = static_cast<std::size_t>(at - layout.Points.begin());
        parts.erase(parts.begin());
        if (parts.empty()) return position * static_cast<std::size_t>(layout.Replicates);
    }
    const std::optional<int> replicate = FolderNumber(parts.front(), "run-", RunFolderName);
    if (!replicate || *replicate > layout.Replicates) return std::nullopt;
    return position * static_cast<std::size_t>(layout.Replicates) + static_cast<std::size_t>(*replicate - 1);
}

// The clashes of the study-wide files with the outputs of a later run: the run whose
// folder a file lies in is found by rule, and its places alone compared.
void LaterRunClashes(const BatchOptions &options, const std::function<void(const std::optional<std::string> &)> &add) {
    const StudyLayout layout = Layout(options);
    for (const ClashPlace &study : StudyPlaces(options)) {
        for (const std::string &folder : OutputFolders(options)) {
            const std::optional<std::size_t> run = RunHolding(layout, Resolved(folder), study.key);
            if (!run || *run == 0) continue;  // the first run's places are compared with every output
            std::vector<ClashPlace> places;
            AddRunPlaces(options, layout, *run, places);
            for (const ClashPlace &p : places) add(Clash(study, p));
        }
    }
}

// A folder that exists, or whose nearest existing parent is a folder that a probe file
// can be created in.
std::optional<std::string> CheckFolder(const ClashPlace &place) {
    fs::path at = fs::absolute(place.path);
    std::error_code ec;
    while (!fs::exists(fs::symlink_status(at, ec)) && at.has_parent_path() && at != at.parent_path())
        at = at.parent_path();
    if (!fs::is_directory(at, ec)) {
        return at.string() == fs::absolute(place.path).string()
                   ? Message("place.not_folder_here", {place.name})
                   : Message("place.not_folder", {place.name, QuotedPath(at.string())});
    }
    std::string probe = (at / ".glebix-probe-XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        // A folder that refuses new entries (as /proc does) refuses writing.
        const int failure = errno == ENOENT ? EACCES : errno;
        return Message("place.unwritable", {place.name, QuotedPath(at.string()), LocalIoErrorMessage(failure, probe)});
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return std::nullopt;
}

// An output file that exists must be a plain file the run can replace.
std::optional<std::string> CheckFile(const ClashPlace &place) {
    if (auto problem = NotPlainFileProblem(place.path)) return Labelled(place.name, *problem);
    return std::nullopt;
}

}  // namespace

std::vector<std::string> CheckOutputPlaces(const BatchOptions &options) {
    // The places repeat from run to run in their own folders: run 1 shows every clash
    // between outputs and every unwritable place; the inputs are compared with the
    // outputs of the first runs too.
    constexpr int comparedRuns = 1000;
    std::vector<std::string> problems;
    std::set<std::string> seen;  // each problem once
    auto add = [&](const std::optional<std::string> &p) {
        if (p && seen.insert(*p).second) problems.push_back(*p);
    };
    const std::vector<InputFile> inputFiles = AllInputs(options);
    for (const InputFile &in : inputFiles)
        if (in.Path.empty()) add(EmptyInputMessage(InputName(in)));
    const std::vector<ClashPlace> inputs = InputPlaces(options, inputFiles);
    const std::vector<ClashPlace> first = OutputPlaceList(options);
    for (const ClashPlace &out : first)
        for (const ClashPlace &in : inputs) add(Clash(out, in));
    for (std::size_t a = 0; a < first.size(); ++a)
        for (std::size_t b = a + 1; b < first.size(); ++b) add(Clash(first[a], first[b]));
    std::vector<ClashPlace> later;
    const StudyLayout layout = Layout(options);
    const std::size_t runs = std::min<std::size_t>(RunCount(layout), comparedRuns);
    for (std::size_t index = 1; index < runs; ++index) AddRunPlaces(options, layout, index, later);
    for (const ClashPlace &out : later)
        for (const ClashPlace &in : inputs) {
            if (out.key == in.key && !(out.state && in.state)) add(Message("place.same_file", {out.name, in.name}));
            add(StepFileClash(in, out));
        }
    LaterRunClashes(options, add);
    for (const ClashPlace &p : first) add(p.folder ? CheckFolder(p) : CheckFile(p));
    return problems;
}

std::vector<std::string> OutputFolders(const BatchOptions &options) {
    std::vector<std::string> folders;
    std::set<std::string> keys;
    for (const OutputKind &kind : OutputKinds()) {
        const std::string folder =
            kind.lock == OutputLock::Dir ? FolderOfOutput(kind, AskedPath(options, kind)) : std::string();
        if (!folder.empty() && keys.insert(Resolved(folder)).second) folders.push_back(folder);
    }
    return folders;
}

}  // namespace glebix::invocation
