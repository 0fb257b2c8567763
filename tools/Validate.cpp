#include "Validate.h"

#include <filesystem>
#include <memory>

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
    } catch (const std::exception &e) { problems.push_back(std::string(setting) + " «" + path + "» : " + e.what()); }
}

void CheckOutputPlaces(const BatchOptions &options, std::vector<std::string> &problems) {
    std::error_code ec;
    const std::pair<const char *, const std::string *> dirs[] = {
        {"--out", &options.OutDir}, {"--snapshots", &options.SnapshotDir}, {"--asc", &options.AscDir}};
    for (const auto &[option, dir] : dirs) {
        if (!dir->empty() && fs::exists(*dir, ec) && !fs::is_directory(*dir, ec))
            problems.push_back(std::string(option) + " «" + *dir + "» : existe déjà et n'est pas un dossier");
    }
    if (!options.TracePath.empty() && fs::is_directory(options.TracePath, ec))
        problems.push_back("--trace «" + options.TracePath + "» : c'est un dossier, pas un fichier");
}

}  // namespace

std::vector<std::string> ValidateRun(const BatchOptions &options) {
    std::vector<std::string> problems;
    RunInputs(options);
    const InitialSettings &in = options.Settings.Initial;
    if (in.EnvInitMode == EnvModeFile)
        CheckInitialFile(options, "EnvFilePath", in.EnvFilePath, ReadEnvironmentText, problems);
    if (in.DistInitMode == DistModeFile)
        CheckInitialFile(options, "DistFilePath", in.DistFilePath, ReadDistributionText, problems);
    auto simul = std::make_unique<Simul>();
    simul->Settings = options.Settings;
    try {
        simul->TakeSpeciesParameters();
    } catch (const std::exception &e) { problems.push_back(std::string("valeurs de l'espèce : ") + e.what()); }
    CheckOutputPlaces(options, problems);
    return problems;
}

}  // namespace glebix::batch
