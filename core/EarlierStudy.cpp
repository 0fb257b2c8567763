#include "EarlierStudy.h"

#include <charconv>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <vector>

#include "FileIo.h"
#include "OutputPlaces.h"
#include "RunPlan.h"
#include "StudyPlan.h"

namespace glebix::batch {

namespace fs = std::filesystem;

namespace {

// The number that `name` gives after `prefix`, when the layout would name it so.
bool IsNumbered(const std::string &name, const std::string &prefix, std::string (*nameOf)(int)) {
    if (name.rfind(prefix, 0) != 0) return false;
    int number = 0;
    const char *first = name.data() + prefix.size(), *last = name.data() + name.size();
    const auto [end, error] = std::from_chars(first, last, number);
    return error == std::errc() && end == last && number > 0 && nameOf(number) == name;
}

bool IsRunFolder(const std::string &name) { return IsNumbered(name, "run-", RunFolderName); }

// The study folders in `folder` (real folders, not links) that `wanted` does not accept.
template <typename Wanted>
void RemoveUnwanted(const fs::path &folder, Wanted wanted) {
    std::vector<fs::path> unwanted;  // listed whole first: the folder is not changed while read
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code statusError;
        if (IsStudyFolderName(name) && !wanted(name) && fs::is_directory(it->symlink_status(statusError)))
            unwanted.push_back(it->path());
    }
    for (const fs::path &path : unwanted) {
        std::error_code removeError;
        fs::remove_all(path, removeError);  // what cannot be removed stays, as with earlier files
    }
}

}  // namespace

bool IsStudyFolderName(const std::string &name) {
    return IsRunFolder(name) || IsNumbered(name, "point-", PointFolderName);
}

void RemoveEarlierStudy(const BatchOptions &options) {
    if (!options.StudyDesign && !options.ReplicateLayout) return;  // a single run lays out no folders
    const StudyLayout layout = Layout(options);
    std::set<std::string> top;                          // "run-002" or "point-003"
    std::map<std::string, std::set<std::string>> runs;  // a point folder's runs
    for (std::size_t k = 0; k < RunCount(layout); ++k) {
        const std::string folder = PlanStudyRun(layout, k, 0).Folder;
        const std::size_t slash = folder.find('/');
        top.insert(folder.substr(0, slash));
        if (slash != std::string::npos) runs[folder.substr(0, slash)].insert(folder.substr(slash + 1));
    }
    const bool wholeStudy = !options.PointsAsked && !options.SliceAsked;
    for (const std::string &place : OutputFolders(options)) {
        RemoveUnwanted(place, [&](const std::string &name) { return top.count(name) || !wholeStudy; });
        for (const auto &entry : runs) {
            const std::set<std::string> &kept = entry.second;
            RemoveUnwanted(Join(place, entry.first),
                           [&kept](const std::string &name) { return kept.count(name) || !IsRunFolder(name); });
        }
    }
}

}  // namespace glebix::batch
