#include "Validate.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "Errors.h"
#include "InitialFiles.h"
#include "RunPlan.h"
#include "Simul.h"

namespace glebix::batch {

namespace {

namespace fs = std::filesystem;

// Reads one initial file into a scratch plot, so that a fault in one file does not
// hide one in the other.
template <typename Reader>
void CheckInitialFile(const BatchOptions &options, const char *setting, const std::string &path, Reader read,
                      std::vector<std::string> &problems) {
    auto plot = std::make_unique<TPlot>();
    try {
        read(*InputFileBytes(path, options.Files.get()), path, *plot);
    } catch (GlebixError &e) {
        e.Context().Setting = setting;
        e.Context().Path = path;
        problems.push_back(MessageWithContext(e));
    }
}

// The problems of one set of settings: its initial files and its species values.
std::vector<std::string> CheckSettings(const BatchOptions &options, const TSettings &settings) {
    std::vector<std::string> problems;
    RunInputs(options, &settings);
    const InitialSettings &in = settings.Initial;
    if (in.EnvInitMode == EnvModeFile)
        CheckInitialFile(options, "EnvFilePath", in.EnvFilePath, ReadEnvironmentText, problems);
    if (in.DistInitMode == DistModeFile)
        CheckInitialFile(options, "DistFilePath", in.DistFilePath, ReadDistributionText, problems);
    auto simul = std::make_unique<Simul>();
    simul->Settings = settings;
    try {
        simul->TakeSpeciesParameters();
    } catch (const GlebixError &e) { problems.push_back("valeurs de l'espèce : " + MessageWithContext(e)); }
    return problems;
}

void CheckOutputPlaces(const BatchOptions &options, std::vector<std::string> &problems) {
    std::error_code ec;
    const std::pair<const char *, const std::string *> dirs[] = {
        {"--out", &options.OutDir}, {"--snapshots", &options.SnapshotDir}, {"--asc", &options.AscDir}};
    for (const auto &[option, dir] : dirs) {
        if (!dir->empty() && fs::exists(*dir, ec) && !fs::is_directory(*dir, ec))
            problems.push_back(std::string(option) + " «" + *dir + "» : existe déjà et n'est pas un dossier");
    }
    const std::pair<const char *, const std::string *> files[] = {{"--trace", &options.TracePath},
                                                                  {"--table", &options.TablePath}};
    for (const auto &[option, file] : files) {
        if (!file->empty() && fs::is_directory(*file, ec))
            problems.push_back(std::string(option) + " «" + *file + "» : c'est un dossier, pas un fichier");
    }
}

}  // namespace

std::vector<std::string> ValidateRun(const BatchOptions &options) {
    std::vector<std::string> problems = CheckSettings(options, options.Settings);
    // A point's own problems: those its row brings beyond the common ones.
    for (int point : options.StudyDesign ? options.Points : std::vector<int>{}) {
        for (std::string &p : CheckSettings(options, PointSettings(options, point))) {
            if (std::find(problems.begin(), problems.end(), p) == problems.end())
                problems.push_back("point " + std::to_string(point) + " : " + p);
        }
    }
    CheckOutputPlaces(options, problems);
    return problems;
}

}  // namespace glebix::batch
