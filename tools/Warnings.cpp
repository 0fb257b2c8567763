#include "Warnings.h"

#include <cmath>

#include "Conversions.h"

namespace glebix::batch {

namespace {

// "DistFilePath « d.txt » est donné, mais DistInitMode vaut 4 : ...".
void UnusedPath(std::vector<std::string> &out, const char *pathSetting, const std::string &path,
                const char *modeSetting, std::int32_t mode) {
    if (path.empty() || mode == 0) return;
    out.push_back(std::string(pathSetting) + " « " + path + " » est donné, mais " + modeSetting + " vaut " +
                  std::to_string(mode) + " : le fichier n'est pas lu (il ne l'est qu'avec " + modeSetting + "=0)");
}

}  // namespace

std::vector<std::string> SettingsWarnings(const TSettings &s) {
    std::vector<std::string> out;
    UnusedPath(out, "EnvFilePath", s.Initial.EnvFilePath, "EnvInitMode", s.Initial.EnvInitMode);
    UnusedPath(out, "DistFilePath", s.Initial.DistFilePath, "DistInitMode", s.Initial.DistInitMode);
    const double survival = FieldToReal(s.Species.Survival);
    if (!(survival >= 0 && survival <= 1))
        out.push_back("Survival vaut " + s.Species.Survival +
                      ", hors de [0, 1] : ce n'est pas une probabilité de survie");
    return out;
}

std::string NothingKeptWarning() {
    return "plusieurs simulations sans aucune sortie (--out, --table, --trace, --snapshots ou --asc) : "
           "rien n'en sera gardé";
}

std::vector<std::string> EnvironmentFileWarnings(const TPlot &read, const std::string &path) {
    int unnamed = 0;
    for (const auto &row : read.Env)
        for (const auto &cell : row) unnamed += std::isnan(cell.Compacted) ? 1 : 0;
    if (unnamed == 0) return {};
    return {"le fichier du milieu initial « " + path + " » ne nomme pas " + std::to_string(unnamed) + " case" +
            (unnamed > 1 ? "s" : "") + " sur " + std::to_string(CellCount) +
            " : elles commencent avec un taux de compaction de -5 %, ce qui tue leur faune dès le premier pas "
            "de temps"};
}

std::vector<std::string> DistributionFileWarnings(const TPlot &read, const std::string &path) {
    int negative = 0;
    for (const auto &row : read.Density)
        for (std::int32_t n : row) negative += n < 0 ? 1 : 0;
    if (negative == 0) return {};
    return {"le fichier de distribution « " + path + " » donne un effectif négatif à " + std::to_string(negative) +
            " case" + (negative > 1 ? "s" : "")};
}

std::optional<std::string> SpeciesRoundingWarning(const std::string &path, const char *setting, double fileValue,
                                                  const std::string &shown) {
    if (FieldToReal(shown) == fileValue) return std::nullopt;
    const std::string exact = FormatShortest(fileValue);
    return "fichier de l'espèce « " + path + " » : " + setting + " " + exact + " devient " + shown +
           " dans la forme à une décimale du dialogue de l'espèce, et la simulation prend " + shown + " ; --set " +
           setting + "=" + exact + " donne la valeur exacte";
}

}  // namespace glebix::batch
