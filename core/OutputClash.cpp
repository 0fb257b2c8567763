#include "OutputClash.h"

#include <filesystem>
#include <sys/stat.h>

#include "EventInputs.h"
#include "FileIo.h"
#include "InitialSources.h"
#include "Messages.h"
#include "RasterInput.h"

namespace glebix::core {

namespace fs = std::filesystem;

namespace {

// True when both name the same existing file, through any links.
bool SameFile(const std::string &a, const std::string &b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

std::string Resolved(const std::string &path) {
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? fs::absolute(path).lexically_normal().string() : resolved.string();
}

ClashPlace MakePlace(std::string name, const std::string &path, bool folder) {
    return {std::move(name), path, Resolved(path), folder};
}

bool Inside(const std::string &path, const std::string &folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (folder.back() == '/' || path[folder.size()] == '/');
}

std::string InputName(const InputFile &in) {
    const std::string_view setting = InputSetting(in.Role);
    return setting.empty() ? "--" + in.Role : std::string(setting);
}

ClashPlace InputPlace(const InputFile &in) {
    return MakePlace(InputName(in) + " " + QuotedPath(in.Path), InputFileRead(in), false);
}

void AddOutputPlaces(const OutputKind &kind, const std::string &path, std::vector<ClashPlace> &places, bool byOption,
                     bool tuned) {
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
        places.back().stepsTuned = tuned;
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

std::optional<std::string> StepFileClash(const ClashPlace &file, const ClashPlace &folder) {
    if (file.folder || !folder.steps || ParentOf(file.key) != folder.key ||
        !IsStepFile(*folder.steps, folder.stepsTuned, fs::path(file.key).filename().string()))
        return std::nullopt;
    return Message(folder.steps->staging == OutputStaging::PerStep ? "place.map_name" : "place.step_grid_name",
                   {file.name, folder.name});
}

std::optional<std::string> Clash(const ClashPlace &a, const ClashPlace &b) {
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

std::string InputFileRead(const InputFile &input) {
    return IsGridInput(input.Role) ? SplitRasterPath(input.Path).File : input.Path;
}

std::optional<std::string> InputClash(const TSettings &settings, const OutputKind &kind, const std::string &path) {
    std::vector<ClashPlace> outputs;
    AddOutputPlaces(kind, path, outputs, false, false);
    std::vector<InputFile> inputs;
    for (const InitialSource &source : InitialSources(settings.Initial))
        if (!source.path.empty()) inputs.push_back({std::string(source.role), source.path});
    InputBytes schedule;
    for (InputFile &in : EventFiles(settings, schedule)) inputs.push_back(std::move(in));
    for (const InputFile &in : inputs) {
        const ClashPlace input = InputPlace(in);
        for (const ClashPlace &out : outputs)
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

}  // namespace glebix::core
