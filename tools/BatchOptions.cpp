#include "BatchOptions.h"

#include <optional>

#include "Errors.h"
#include "ParamsFile.h"
#include "SettingsTable.h"
#include "SpeciesFile.h"

#ifndef GLEBIX_VERSION
#define GLEBIX_VERSION "unknown"
#endif

namespace glebix::batch {

std::string UsageText() {
    return R"(Utilisation : glebix-batch [options]
Lance Glebix sans fenêtres : l'initialisation, puis les pas de temps,
puis les sorties.

  --steps N          nombre de pas de temps (300 par défaut ; avec 0,
                     initialise et s'arrête)
  --seed S           graine maîtresse, entier décimal non signé de 32 bits
                     (par défaut : tirée de l'horloge)
  --set NAME=VALUE   un paramètre par son nom ; répétable, le dernier l'emporte
  --params FILE      lignes NAME=VALUE (lignes vides et commentaires # permis),
                     appliquées avant les options --set
  --species FILE     fichier de paramètres de l'espèce, appliqué avant --params
  --out DIR          écrit le fichier de résultats RireVed1a1p1.txt dans DIR
  --trace FILE       fichier CSV d'une ligne par pas de temps
  --snapshots DIR    cartes PNG des densités, tous les K pas de temps
                     et après le dernier
  --every K          pas de temps entre deux cartes (10 par défaut)
  --asc DIR          grilles finales density.asc et compacted.asc
                     (grilles ASCII ESRI)
  --replicates R     R simulations, chacune dans run-001/, run-002/...
                     de chaque sortie, et un summary.csv pour l'ensemble
  --jobs J           simulations menées à la fois (par défaut : le nombre
                     de cœurs)
  --validate         vérifie chaque option, paramètre et fichier d'entrée,
                     sans rien lancer
  --quiet            pas de ligne de progression
  --help, --version

Paramètres : Survival, Fecundity, MortalityAlpha, CompactionC,
DispersalSensitivity, DispersalSigma, ResponseShape (0-2), ResponseOptimum,
ResponseTolerance, SurvivalEnvSensitive, FecundityEnvSensitive,
DispersalFirst, EnvInitMode (0-2), EnvMean, EnvVariability, EnvConstant,
EnvFilePath, DistInitMode (0-4), DistConstant, DistMean, DistVariability,
DistFilePath, EnvDynamic, DecompactionD, ChartCellX, ChartCellY.
Les réels s'écrivent avec un point (0.4 et non 0,4), les valeurs oui/non
en on/off, true/false ou 1/0, les modes par leur numéro.

Code de sortie : 0 si toutes les simulations ont atteint leur dernier pas
de temps, 1 si une simulation s'est arrêtée sur une erreur, 2 pour une erreur
d'utilisation.
)";
}

std::string VersionText() { return std::string("glebix-batch ") + GLEBIX_VERSION; }

namespace {

// The options that take a value.
bool TakesValue(const std::string &option) {
    static const char *const withValue[] = {"--steps", "--seed",  "--set",       "--params", "--species",    "--out",
                                            "--trace", "--every", "--snapshots", "--asc",    "--replicates", "--jobs"};
    for (const char *o : withValue)
        if (option == o) return true;
    return false;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string> &arguments) {
    ParsedCommandLine parsed;
    BatchOptions &o = parsed.Options;
    auto &problems = parsed.Problems;
    o.Arguments = arguments;

    std::optional<std::string> speciesPath;
    std::vector<std::string> paramsPaths;
    std::vector<std::string> sets;

    for (std::size_t k = 0; k < arguments.size(); ++k) {
        std::string option = arguments[k];
        std::string value;
        bool hasValue = false;
        if (option.rfind("--", 0) == 0) {
            const auto equals = option.find('=');
            if (equals != std::string::npos) {
                value = option.substr(equals + 1);
                option = option.substr(0, equals);
                hasValue = true;
            }
        }
        if (TakesValue(option)) {
            if (!hasValue) {
                if (k + 1 >= arguments.size()) {
                    problems.push_back(option + " : valeur manquante");
                    continue;
                }
                value = arguments[++k];
            }
        } else if (hasValue) {
            problems.push_back(option + " : cette option ne prend pas de valeur");
            continue;
        }

        auto count = [&](int minimum, int &target) {
            if (auto v = ParseCount(value, minimum))
                target = *v;
            else
                problems.push_back(option + " : «" + value + "» n'est pas un nombre entier supérieur ou égal à " +
                                   std::to_string(minimum));
        };
        if (option == "--steps") {
            if (ParseCount(value, 0))
                o.Settings.Run.StepCount = value;
            else
                problems.push_back("--steps : «" + value + "» n'est pas un nombre entier supérieur ou égal à 0");
        } else if (option == "--seed") {
            if (auto s = ParseSeed(value))
                o.Seed = *s;
            else
                problems.push_back("--seed : «" + value +
                                   "» n'est pas un entier décimal non signé de 32 bits (de 0 à 4294967295)");
        } else if (option == "--set") {
            sets.push_back(value);
        } else if (option == "--params") {
            paramsPaths.push_back(value);
        } else if (option == "--species") {
            speciesPath = value;
        } else if (option == "--out" || option == "--trace" || option == "--snapshots" || option == "--asc") {
            if (value.empty()) {
                problems.push_back(option + " : le chemin est vide");
                continue;
            }
            (option == "--out"         ? o.OutDir
             : option == "--trace"     ? o.TracePath
             : option == "--snapshots" ? o.SnapshotDir
                                       : o.AscDir) = value;
        } else if (option == "--every") {
            count(1, o.Every);
        } else if (option == "--replicates") {
            count(1, o.Replicates);
            // Every run keeps a record until the batch ends; a larger sweep belongs to
            // several invocations.
            if (o.Replicates > MaxReplicates) {
                problems.push_back("--replicates : au plus " + std::to_string(MaxReplicates) +
                                   " simulations par appel");
                o.Replicates = 1;
            }
            o.ReplicateLayout = true;
        } else if (option == "--jobs") {
            count(1, o.Jobs);
        } else if (option == "--validate") {
            o.Validate = true;
        } else if (option == "--quiet") {
            o.Quiet = true;
        } else if (option == "--help" || option == "-h") {
            o.Help = true;
        } else if (option == "--version") {
            o.Version = true;
        } else if (option.rfind("-", 0) == 0) {
            problems.push_back("option inconnue : " + option);
        } else {
            problems.push_back("argument inattendu : «" + option + "»");
        }
    }

    // Settings, in their order of precedence.
    if (speciesPath) {
        o.Inputs.push_back({"species", *speciesPath});
        try {
            ApplySpeciesFile(ReadSpeciesFile(*speciesPath), o.Settings.Species);
        } catch (const GlebixError &e) { problems.push_back("--species " + *speciesPath + " : " + e.what()); }
    }
    for (const std::string &path : paramsPaths) {
        o.Inputs.push_back({"params", path});
        for (std::string &p : ReadParamsFile(path, o.Settings)) problems.push_back(std::move(p));
    }
    for (const std::string &set : sets) {
        const auto equals = set.find('=');
        if (equals == std::string::npos) {
            problems.push_back("--set : «" + set + "» n'est pas de la forme NAME=VALUE");
            continue;
        }
        if (auto p = ApplySetting(set.substr(0, equals), set.substr(equals + 1), o.Settings))
            problems.push_back("--set : " + *p);
    }
    return parsed;
}

}  // namespace glebix::batch
