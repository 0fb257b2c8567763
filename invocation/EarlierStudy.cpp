#include "EarlierStudy.h"

#include <charconv>
#include <filesystem>
#include <algorithm>
#include <optional>
#include <system_error>
#include <vector>

#include "FileIo.h"
#include "OutputPlaces.h"
#include "RunPlan.h"
#include "StudyPlan.h"

namespace glebix::invocation {

namespace fs = std::filesystem;

namespace {

// The number that `name` gives after `prefix`, when the layout would name it so.
std::optional<int> NumberOf(const std::string &name, const std::string &prefix, std::string (*nameOf)(int)) {
    if (name.rfind(prefix, 0) != 0) return std::nullopt;
    int number = 0;
    const char *first = name.data() + prefix.size(), *last = name.data() + name.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || number <= 0 || nameOf(number) != name) return std::nullopt;
    return number;
}

std::optional<int> RunNumber(const std::string &name) { return NumberOf(name, "run-", RunFolderName); }
std::optional<int> PointNumber(const std::string &name) { return NumberOf(name, "point-", PointFolderName); }

bool IsRunFolder(const std::string &name) { return RunNumber(name).has_value(); }

// The names in `folder` of the study folders it holds (real folders, not links).
std::vector<std::string> StudyFoldersIn(const fs::path &folder) {
    std::vector<std::string> names;  // listed whole first: the folder is not changed while read
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::error_code statusError;
        if (IsStudyFolderName(name) && fs::is_directory(it->symlink_status(statusError)))
            names.push_back(std::move(name));
    }
    return names;
}

// The study folders in `folder` that `wanted` does not accept.
template <typename Wanted>
void RemoveUnwanted(const fs::path &folder, Wanted wanted) {
    for (const std::string &name : StudyFoldersIn(folder)) {
        if (wanted(name)) continue;
        std::error_code removeError;
        fs::remove_all(folder / name, removeError);  // what cannot be removed stays, as with earlier files
    }
}

}  // namespace

bool IsStudyFolderName(const std::string &name) { return IsRunFolder(name) || PointNumber(name).has_value(); }

// The folders the layout makes are told by their names, not listed: a study of a
// million points would otherwise hold a million names until it ends.
void RemoveEarlierStudy(const BatchOptions &options) {
    if (!options.StudyDesign && !options.ReplicateLayout) return;  // a single run lays out no folders
    const auto isReplicate = [&options](const std::string &name) {
        const std::optional<int> replicate = RunNumber(name);
        return replicate && *replicate <= options.Replicates;
    };
    const auto isPoint = [&options](const std::string &name) {
        const std::optional<int> point = PointNumber(name);
        return point && std::binary_search(options.Points.begin(), options.Points.end(), *point);
    };
    // The first level holds point folders with a design, run folders without one.
    const bool hasDesign = options.StudyDesign.has_value();
    const auto isTop = [&](const std::string &name) { return hasDesign ? isPoint(name) : isReplicate(name); };
    const bool wholeStudy = !options.PointsAsked && !options.SliceAsked;
    for (const std::string &place : OutputFolders(options)) {
        const std::vector<std::string> found = StudyFoldersIn(place);
        RemoveUnwanted(place, [&](const std::string &name) { return isTop(name) || !wholeStudy; });
        if (!hasDesign) continue;
        for (const std::string &point : found)
            if (isPoint(point))
                RemoveUnwanted(Join(place, point),
                               [&](const std::string &name) { return isReplicate(name) || !IsRunFolder(name); });
    }
}

}  // namespace glebix::invocation
