// The engine's messages by key, in the engine's own language, French, as the windows
// show them: one row per message, its key and its French text with the placeholders
// {0}, {1}, ... of its arguments. The core's catalogue gives each key's English
// (core/messages/EngineMessageCatalogue.cpp). An error carries the key and the arguments
// (EngineMessage), so its text is made in either language without reading French.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace glebix {

struct EngineMessageRow {
    const char *Key;
    const char *French;
};

// clang-format off
inline constexpr EngineMessageRow EngineMessageRows[] = {
    // A file that cannot be opened or read, by cause.
    {"engine.file_not_found", "Fichier introuvable"},
    {"engine.bad_file_name", "Nom de fichier incorrect"},
    {"engine.empty_path", "Chemin vide"},
    {"engine.missing_folder", "Dossier inexistant « {0} »"},
    {"engine.too_many_files", "Trop de fichiers ouverts"},
    {"engine.access_denied", "Accès au fichier refusé"},
    {"engine.disk_full", "Disque plein"},
    {"engine.io_error", "Erreur E/S {0}"},
    {"engine.input_too_large", "Fichier « {0} » trop grand : plus de {1} Mio ({2} octets)"},
    // Floating-point faults, memory, numbers.
    {"engine.invalid_operation", "Opération en virgule flottante incorrecte"},
    {"engine.division_by_zero", "Division par zéro en virgule flottante"},
    {"engine.overflow", "Débordement en virgule flottante"},
    {"engine.out_of_memory", "Mémoire insuffisante"},
    {"engine.bad_number", "Saisie numérique incorrecte"},
    {"engine.count_not_whole", "effectif non entier : les effectifs doivent être des nombres entiers"},
    {"engine.compacted_range", "taux de compaction hors d'échelle : de -{0} à {0} %"},
    // Initial files of triples.
    {"engine.cell_outside", "Case hors de la parcelle : ligne {0}, colonne {1} de la parcelle (chacune va de 1 à {2})"},
    {"engine.cell_outside_oblong", "Case hors de la parcelle : ligne {0}, colonne {1} de la parcelle (la ligne va de 1 à {2}, la colonne de 1 à {3})"},
    // Grids of per-cell soil values.
    {"engine.soil_map_not_grid", "une carte de valeurs par case doit être une grille (ESRI ASCII, GeoTIFF…) de la taille de la parcelle"},
    {"engine.soil_map_value", "case ligne {0}, colonne {1} de la parcelle : la valeur doit être un nombre fini"},
    {"engine.soil_map_nodata", "case ligne {0}, colonne {1} de la parcelle sans valeur (nodata) : une carte donne une valeur à chaque case"},
    // The species' response to the environment.
    {"engine.shape_in_file", "Forme de la réponse au milieu inconnue dans le fichier : {0} (valeurs admises : {1} ou {2})"},
    {"engine.shape", "Forme de la réponse au milieu inconnue : {0} (valeurs admises : {1} ou {2})"},
    {"engine.tolerance_nonzero", "Réponse au milieu de forme {0} : la tolérance doit être un nombre fini différent de 0"},
    {"engine.tolerance", "Réponse au milieu de forme {0} : la tolérance doit être un nombre fini"},
    // Grids of the ASCII grid format.
    {"engine.grid_key_no_value", "en-tête de grille incomplet : « {0} » sans valeur"},
    {"engine.grid_key_twice", "en-tête de grille : « {0} » donné deux fois"},
    {"engine.grid_not_square", "en-tête de grille : « dx » {0} et « dy » {1} décrivent des cases non carrées ; les cases de la parcelle sont carrées, d'un seul « cellsize »"},
    {"engine.grid_absent", "absent"},
    {"engine.grid_cellsize_positive", "en-tête de grille : « cellsize » doit être positif"},
    {"engine.grid_missing", "en-tête de grille incomplet : {0} manque"},
    {"engine.grid_one_of", "« {0} » ou « {1} » (un seul des deux)"},
    {"engine.grid_size", "la grille du fichier « {0} » a {1} colonnes et {2} lignes ; une parcelle en a de 1 à {3}"},
    {"engine.grid_size_wanted", "la grille du fichier « {0} » a {1} colonnes et {2} lignes ; la parcelle en demande {3} × {4}"},
    {"engine.grid_size_other_grid", "la grille du fichier « {0} » a {1} colonnes et {2} lignes ; celle du fichier « {3} », qui fait la taille de la parcelle, en a {4} colonnes et {5} lignes"},
    {"engine.grid_size_demand", "la grille du fichier « {0} » a {1} colonnes et {2} lignes, qui font la taille de la parcelle"},
    {"engine.grid_size_window", "la grille du fichier « {0} » a {1} colonnes et {2} lignes ; la fenêtre ne montre que des parcelles de {3} × {3} : une parcelle d'une autre taille se simule avec glebix-batch, ou depuis Python ou R"},
    {"engine.grid_too_many_values", "la grille du fichier « {0} » a plus de {1} valeurs"},
    {"engine.grid_too_few", "la grille du fichier « {0} » n'a que {1} valeurs sur les {2} attendues"},
    // The habitat mask.
    {"engine.habitat_value", "valeur d'habitat « {0} » : une case vaut 1 (habitat), 0 ou nodata (hors habitat)"},
    {"engine.habitat_not_grid", "le fichier de l'habitat « {0} » n'est pas une grille (grille ESRI ASCII, ou raster que GDAL lit)"},
    // The plot's settings.
    {"engine.plot_side", "« {0} » n'est pas un nombre entier de cases de 1 à {1}"},
    {"engine.edges", "« {0} » n'est pas un bord de parcelle : {1} (tore) ou {2} (bords que les individus franchissent pour partir)"},
    {"engine.chart_cell_outside", "la case du graphique « {0} » est hors de la parcelle, dont l'indice va de 1 à {1}"},
    // State files.
    {"engine.state_not_state", "ce n'est pas un fichier d'état de Glebix (la première ligne doit être « {0} »)"},
    {"engine.state_too_large", "ce n'est pas un fichier d'état de Glebix (bien trop grand)"},
    {"engine.state_version_unread", "version de fichier d'état illisible : « {0} »"},
    {"engine.state_version_newer", "fichier d'état de version {0}, plus récente que celle que ce programme sait lire ({1})"},
    {"engine.state_truncated", "fichier d'état tronqué : la ligne finale « sha256 » manque"},
    {"engine.state_altered", "fichier d'état modifié ou abîmé : sa somme de contrôle SHA-256 ne correspond pas à son contenu"},
    {"engine.state_empty", "fichier d'état vide"},
    {"engine.state_incorrect", "fichier d'état incorrect : {0}"},
    {"engine.state_missing", "« {0} » manque"},
    {"engine.state_expected", "« {0} » attendu"},
    {"engine.state_unreadable_value", "valeur illisible de « {0} »"},
    {"engine.state_unreadable_placement", "valeurs illisibles de « grid_placement » : « {0} »"},
    {"engine.state_unreadable_values", "valeurs illisibles de « {0} »"},
    {"engine.state_no_value", "« {0} » sans valeur"},
    {"engine.state_twice", "« {0} » donné deux fois"},
    {"engine.state_unknown_setting", "paramètre inconnu « {0} »"},
    {"engine.state_species", "les paramètres de l'espèce ne se prennent pas : {0}"},
    {"engine.state_species_value", "valeur « {0} » de « species {1} », où les paramètres donnent « {2} »"},
    {"engine.state_cell_size", "« grid_placement » : la taille de case doit être positive"},
    {"engine.state_placement_without_file", "« grid_placement » sans fichier initial (seule une grille lue en donne une)"},
    {"engine.state_grid_width", "grille « {0} » : il faut {1} nombres par ligne"},
    {"engine.state_mask_row", "masque « {0} » : il faut {1} caractères 0 ou 1 par ligne"},
    {"engine.state_chart_cell", "case du graphique « {0} » autre que celle des paramètres"},
    {"engine.state_step_count", "nombre de pas « {0} » autre que celui du paramètre StepCount"},
    {"engine.state_step_beyond", "le pas atteint dépasse le nombre de pas de la simulation"},
    {"engine.state_generator", "état du générateur « {0} » autre que celui que la mise en place laisse au pas 0"},
    {"engine.state_extent", "étendue « {0} » : la parcelle est de {1} × {2} cases de 1"},
    {"engine.state_extra_line", "ligne en trop après les grilles"},
    {"engine.state_habitat_occupied", "la case {0}, {1} est hors habitat mais compte {2} individus"},
    {"engine.state_cell", "case (ligne {0}, colonne {1}) : {2}"},
    {"engine.state_count_at_start", "effectif {0} au pas 0, où la distribution initiale en donne {1}"},
    {"engine.state_count_unreached", "effectif {0} qu'aucune simulation n'atteint (au plus {1} après un pas de temps)"},
    {"engine.state_count_negative", "effectif négatif {0}, qu'aucune simulation n'atteint avec ces paramètres"},
    {"engine.state_shares_finite", "parts {0} et {1} : une part doit être un nombre fini"},
    {"engine.state_shares_at_start", "parts {0} et {1} au pas 0, où le milieu homogène donne {2} et son complément"},
    {"engine.state_shares_range", "parts {0} et {1} : avec ces paramètres, chaque part reste entre 0 et 100 et leur somme vaut 100"},
    {"engine.quoted", "« {0} »"},
};
// clang-format on

// The row of `key`; a key no row has stops the compilation.
consteval std::size_t EngineMessageIndex(std::string_view key) {
    for (std::size_t k = 0; k < std::size(EngineMessageRows); ++k)
        if (std::string_view(EngineMessageRows[k].Key) == key) return k;
    throw "unknown engine message key";
}

// A key of EngineMessageRows, checked when compiled; a default one is no message.
class MessageKey {
public:
    constexpr MessageKey() = default;
    consteval MessageKey(const char *key) : row_(&EngineMessageRows[EngineMessageIndex(key)]) {}
    // The key of row k of EngineMessageRows, for what walks them all.
    static constexpr MessageKey Row(std::size_t k) { return MessageKey(&EngineMessageRows[k]); }
    constexpr explicit operator bool() const { return row_ != nullptr; }
    constexpr const char *Key() const { return row_->Key; }
    constexpr const char *French() const { return row_->French; }
    constexpr bool operator==(const MessageKey &other) const { return row_ == other.row_; }

private:
    constexpr explicit MessageKey(const EngineMessageRow *row) : row_(row) {}
    const EngineMessageRow *row_ = nullptr;
};

class MessageArg;

// A message by key with its arguments, or a text as it is (from outside the engine,
// already in the user's language).
class EngineMessage {
public:
    EngineMessage() = default;
    // Two constructors rather than a default argument: MessageArg is not complete yet.
    EngineMessage(MessageKey key);
    EngineMessage(MessageKey key, std::vector<MessageArg> args);
    static EngineMessage Text(std::string text);

    MessageKey Key() const { return key_; }
    const std::vector<MessageArg> &Args() const { return args_; }
    // The text, each key's template given by `templateOf`, the arguments that are
    // messages made the same way.
    using TemplateOf = std::string_view (*)(MessageKey key);
    std::string Render(TemplateOf templateOf) const;
    std::string French() const;
    bool Empty() const { return !key_ && text_.empty(); }

private:
    MessageKey key_;
    std::string text_;
    std::vector<MessageArg> args_;
};

// An argument of a message: a text inserted as it is, or a message in the same language.
class MessageArg {
public:
    MessageArg(std::string text) : text_(std::move(text)) {}
    MessageArg(const char *text) : text_(text) {}
    MessageArg(std::string_view text) : text_(text) {}
    MessageArg(EngineMessage message) : message_{std::move(message)} {}
    MessageArg(MessageKey key) : message_{EngineMessage(key)} {}
    // Null for a text.
    const EngineMessage *Message() const { return message_.empty() ? nullptr : &message_.front(); }
    const std::string &Text() const { return text_; }

private:
    std::string text_;
    std::vector<EngineMessage> message_;  // one message, or none for a text
};

// `text` with each placeholder {k} replaced by args[k]; a placeholder without its
// argument is left as written.
std::string FillPlaceholders(std::string_view text, const std::vector<std::string> &args);

}  // namespace glebix
