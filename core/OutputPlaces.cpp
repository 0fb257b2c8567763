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
#include "OutputRegistry.h"
#include "RasterInput.h"
#include "RunPlan.h"
#include "StudyOutputs.h"

namespace glebix::core {

namespace fs = std::filesystem;

namespace {

// One place an invocation reads or writes.
struct Place {
    std::string name;  // how a message names it: "--trace «t.csv»"
    std::string path;  // as given
    std::string key;   // resolved: absolute, symbolic links followed where they exist
    bool folder = false;
    bool state = false;  // a state file: a resumed run may write the state it read
    // The output whose folder holds files of recorded steps (maps, grids), and whether
    // it holds them as the invocation asks; nullptr: none.
    const OutputKind *steps = nullptr;
    const BatchOptions *options = nullptr;
};

std::string Resolved(const std::string &path) {
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? fs::absolute(path).lexically_normal().string() : resolved.string();
}

Place MakePlace(std::string name, const std::string &path, bool folder) {
    return {std::move(name), path, Resolved(path), folder};
}

// True when both name the same existing file, through any links.
bool SameFile(const std::string &a, const std::string &b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool Inside(const std::string &path, const std::string &folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (folder.back() == '/' || path[folder.size()] == '/');
}

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

// The setting or option that names an input.
std::string InputName(const InputFile &in) {
    const std::string_view setting = InputSetting(in.Role);
    return setting.empty() ? "--" + in.Role : std::string(setting);
}

std::string EmptyInputMessage(const std::string &name) { return Message("place.empty_input", {name}); }

// An input at the file it reads, named by its path as given.
Place InputPlace(const InputFile &in) {
    return MakePlace(InputName(in) + " " + QuotedPath(in.Path), InputFileRead(in), false);
}

// An empty path names no file: it is said as such, and has no place to compare.
std::vector<Place> InputPlaces(const BatchOptions &options, const std::vector<InputFile> &inputs) {
    std::vector<Place> places;
    for (const InputFile &in : inputs)
        if (!in.Path.empty()) places.push_back(InputPlace(in));
    if (options.Resumed) {
        places.push_back(MakePlace("--resume " + QuotedPath(options.ResumePath), options.ResumePath, false));
        places.back().state = true;
    }
    return places;
}

// The places of an output at `path`: the output, the folder of a file, the files a
// folder holds by name. The output is named by its option, or by its path alone
// without `byOption` (as the language bindings write it).
void AddOutputPlaces(const OutputKind &kind, const std::string &path, std::vector<Place> &places, bool byOption = true,
                     const BatchOptions *options = nullptr) {
    if (path.empty()) return;
    if (!kind.option) {
        places.push_back(MakePlace(Message(kind.placeMessage, {QuotedPath(path)}), path, false));
        return;
    }
    places.push_back(MakePlace(byOption ? kind.option + (" " + QuotedPath(path)) : QuotedPath(path), path,
                               kind.place == OutputPlace::Folder));
    places.back().state = kind.stateFile;
    if (kind.isStepFile) {
        places.back().steps = &kind;
        places.back().options = options;
    }
    if (kind.place == OutputPlace::File) {
        const std::string folder = ParentOf(path);
        places.push_back(MakePlace(
            Message("place.folder_of", {byOption ? std::string(kind.option) : QuotedPath(path), QuotedPath(folder)}),
            folder, true));
    }
    if (kind.filesInside)
        for (const std::string &file : kind.filesInside(path))
            places.push_back(MakePlace(Message(kind.placeMessage, {QuotedPath(file)}), file, false));
}

// The files and folders the invocation's run `index` writes.
void AddRunPlaces(const BatchOptions &options, const StudyLayout &layout, std::size_t index,
                  std::vector<Place> &places) {
    const RunPlan plan = PlanRun(options, PlanStudyRun(layout, index, 0));
    for (const OutputKind &kind : OutputKinds())
        if (kind.scope == OutputScope::Run) AddOutputPlaces(kind, PlaceOf(plan, kind), places, true, &options);
}

// The files written for the whole invocation (the study table, the summary), and
// their folders.
std::vector<Place> StudyPlaces(const BatchOptions &options) {
    std::vector<Place> places;
    for (const OutputKind &kind : OutputKinds())
        if (kind.scope == OutputScope::Study) AddOutputPlaces(kind, AskedPath(options, kind), places, true, &options);
    return places;
}

// The places of the invocation's first run and of the study.
std::vector<Place> OutputPlaceList(const BatchOptions &options) {
    std::vector<Place> places;
    const StudyLayout layout = Layout(options);
    if (RunCount(layout) > 0) AddRunPlaces(options, layout, 0, places);
    for (Place &p : StudyPlaces(options)) places.push_back(std::move(p));
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

// A file that lies in a folder of files of recorded steps under one of their names.
std::optional<std::string> StepFileClash(const Place &file, const Place &folder) {
    if (file.folder || !folder.steps || ParentOf(file.key) != folder.key ||
        !IsStepFileOf(*folder.steps, folder.options, fs::path(file.key).filename().string()))
        return std::nullopt;
    return Message(folder.steps->staging == OutputStaging::PerStep ? "place.map_name" : "place.step_grid_name",
                   {file.name, folder.name});
}

// The clash of two places, if any: the same file, a file where a folder must be, or a
// file among the snapshots.
std::optional<std::string> Clash(const Place &a, const Place &b) {
    if (a.state && b.state) return std::nullopt;  // the state read, then replaced whole
    if (a.key == b.key || SameFile(a.path, b.path)) {
        if (a.folder && b.folder) return std::nullopt;  // one folder may hold several outputs
        if (a.folder != b.folder) return Message("place.file_and_folder", {a.name, b.name});
        return Message("place.same_file", {a.name, b.name});
    }
    for (const auto &[file, other] : {std::pair{&a, &b}, std::pair{&b, &a}}) {
        if (!file->folder && Inside(other->key, file->key))
            return Message("place.file_holds_files", {file->name, other->name});
        if (auto clash = StepFileClash(*file, *other)) return clash;
    }
    return std::nullopt;
}

// The clashes of the study-wide files with the outputs of a later run: the run whose
// folder a file lies in is found by rule, and its places alone compared.
void LaterRunClashes(const BatchOptions &options, const std::function<void(const std::optional<std::string> &)> &add) {
    const StudyLayout layout = Layout(options);
    for (const Place &study : StudyPlaces(options)) {
        for (const std::string &folder : OutputFolders(options)) {
            const std::optional<std::size_t> run = RunHolding(layout, Resolved(folder), study.key);
            if (!run || *run == 0) continue;  // the first run's places are compared with every output
            std::vector<Place> places;
            AddRunPlaces(options, layout, *run, places);
            for (const Place &p : places) add(Clash(study, p));
        }
    }
}

// A folder that exists, or whose nearest existing parent is a folder that a probe file
// can be created in.
std::optional<std::string> CheckFolder(const Place &place) {
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
std::optional<std::string> CheckFile(const Place &place) {
    if (auto problem = NotPlainFileProblem(place.path)) return Labelled(place.name, *problem);
    return std::nullopt;
}

}  // namespace

std::string InputFileRead(const InputFile &input) {
    return IsGridInput(input.Role) ? SplitRasterPath(input.Path).File : input.Path;
}

std::optional<std::string> InputClash(const TSettings &settings, const OutputKind &kind, const std::string &path) {
    std::vector<Place> outputs;
    AddOutputPlaces(kind, path, outputs, false);
    std::vector<InputFile> inputs;
    for (const InitialSource &source : InitialSources(settings.Initial))
        if (!source.path.empty()) inputs.push_back({std::string(source.role), source.path});
    InputBytes schedule;
    for (InputFile &in : EventFiles(settings, schedule)) inputs.push_back(std::move(in));
    for (const InputFile &in : inputs) {
        const Place input = InputPlace(in);
        for (const Place &out : outputs)
            if (auto clash = Clash(out, input)) return clash;
    }
    return std::nullopt;
}

std::string EscapeControls(const std::string &text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 32 || c == 127) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string QuotedPath(const std::string &path) {
    return Message("quote.open") + EscapeControls(path) + Message("quote.close");
}

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
    const std::vector<Place> inputs = InputPlaces(options, inputFiles);
    const std::vector<Place> first = OutputPlaceList(options);
    for (const Place &out : first)
        for (const Place &in : inputs) add(Clash(out, in));
    for (std::size_t a = 0; a < first.size(); ++a)
        for (std::size_t b = a + 1; b < first.size(); ++b) add(Clash(first[a], first[b]));
    std::vector<Place> later;
    const StudyLayout layout = Layout(options);
    const std::size_t runs = std::min<std::size_t>(RunCount(layout), comparedRuns);
    for (std::size_t index = 1; index < runs; ++index) AddRunPlaces(options, layout, index, later);
    for (const Place &out : later)
        for (const Place &in : inputs) {
            if (out.key == in.key && !(out.state && in.state)) add(Message("place.same_file", {out.name, in.name}));
            add(StepFileClash(in, out));
        }
    LaterRunClashes(options, add);
    for (const Place &p : first) add(p.folder ? CheckFolder(p) : CheckFile(p));
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

}  // namespace glebix::core
