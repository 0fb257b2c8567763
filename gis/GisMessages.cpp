#include "GisMessages.h"

#include "Conversions.h"

namespace glebix::gis {

namespace {

std::string Quoted(const std::string &text) { return "« " + text + " »"; }

std::string List(const std::vector<std::string> &names) {
    std::string out;
    for (const std::string &name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

}  // namespace

std::string MsgRasterUnreadable(const std::string &path) {
    return "le fichier " + Quoted(path) + " n'est ni une grille ASCII ESRI, ni un fichier de triplets, ni une " +
           "grille que GDAL sait lire (fichier endommagé ou format inconnu)";
}

std::string MsgTooManyBands(const std::string &path, int bands) {
    return "le fichier " + Quoted(path) + " a " + std::to_string(bands) +
           " bandes ; choisissez-en une en ajoutant son numéro au chemin : " + Quoted(path + ":1") + " à " +
           Quoted(path + ":" + std::to_string(bands));
}

std::string MsgNoSuchBand(const std::string &path, int band, int bands) {
    return "le fichier " + Quoted(path) + " n'a pas de bande " + std::to_string(band) + " (il en a " +
           std::to_string(bands) + ")";
}

std::string MsgRotatedRaster(const std::string &path) {
    return "la grille du fichier " + Quoted(path) +
           " est tournée (transformation géographique avec rotation) ; la parcelle suit les axes x et y";
}

std::string MsgNonSquareCells(const std::string &path, double width, double height) {
    return "la grille du fichier " + Quoted(path) + " a des cases non carrées (" + FormatShortest(width) + " × " +
           FormatShortest(height) + ") ; les cases de la parcelle sont carrées";
}

std::string MsgBottomUpRaster(const std::string &path) {
    return "la grille du fichier " + Quoted(path) +
           " va vers le sud ou vers l'ouest de case en case ; seules les grilles dont la première ligne est au nord "
           "et la première colonne à l'ouest se lisent";
}

std::string MsgRasterSize(const std::string &path, long long columns, long long rows, int side) {
    return "la grille du fichier " + Quoted(path) + " a " + std::to_string(columns) + " colonnes et " +
           std::to_string(rows) + " lignes ; une parcelle a de 1 à " + std::to_string(side) + " cases de côté";
}

std::string MsgNoSuchVariable(const std::string &path, const std::string &variable) {
    return "le fichier NetCDF " + Quoted(path) + " n'a pas de variable " + Quoted(variable);
}

std::string MsgVariableNot2D(const std::string &path, const std::string &variable,
                             const std::vector<std::string> &dimensions) {
    return "la variable " + Quoted(variable) + " du fichier NetCDF " + Quoted(path) + " a " +
           std::to_string(dimensions.size()) + " dimension(s) (" + List(dimensions) +
           ") ; seule une variable à deux dimensions (y, x) se lit comme grille";
}

std::string MsgChooseVariable(const std::string &path, const std::vector<std::string> &variables) {
    return "le fichier NetCDF " + Quoted(path) + " a plusieurs variables (" + List(variables) +
           ") ; choisissez-en une en ajoutant son nom au chemin : " +
           Quoted(path + ":" + (variables.empty() ? std::string("variable") : variables.front()));
}

std::string MsgRasterNotWritten(const std::string &path) { return "Écriture impossible de la grille : " + path; }

std::string MsgNetcdfNotWritten(const std::string &path, const std::string &cause) {
    return "Écriture impossible du fichier NetCDF (" + cause + ") : " + path;
}

}  // namespace glebix::gis
