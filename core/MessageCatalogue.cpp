// The catalogue of the messages of the batch tool and the language packages: one line
// per message, its key, its French text and its English text, which name the same
// placeholders {0}, {1}, ... A new message is one new line; tests/core/test_messages.cpp
// refuses an entry without its English, or whose two texts differ in placeholders.
#include "Messages.h"

#include "SettingsRegistry.h"

#include <deque>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace glebix::batch {

namespace {

// clang-format off
constexpr CatalogueEntry Entries[] = {
    // The batch tool's lines on the standard error, and its progress line.
    {"batch.line", "glebix-batch : {0}", "glebix-batch: {0}"},
    {"batch.warning", "glebix-batch : attention : {0}", "glebix-batch: warning: {0}"},
    {"batch.stdout_failed", "glebix-batch : écriture impossible sur la sortie standard : {0}", "glebix-batch: cannot write to the standard output: {0}"},
    {"more_problems", "… et {0} autres problèmes", "… and {0} more problems"},
    {"strict_refusal", "--strict : chaque avertissement est une erreur d'utilisation", "--strict: every warning is a usage error"},
    {"no_problem", "aucun problème trouvé", "no problem found"},
    {"help_hint", "pour l'aide, tapez glebix-batch --help", "for help, type glebix-batch --help"},
    {"clock_seed", "graine {0} (tirée de l'horloge)", "seed {0} (drawn from the clock)"},
    {"progress.steps", "{0}/{1} pas de temps", "{0}/{1} time steps"},
    {"progress.rate", "{0} pas/s", "{0} steps/s"},
    {"progress.left", "reste environ {0} s", "about {0} s left"},
    {"context_separator", " : ", ": "},
    // The command line.
    {"usage.head", "Utilisation : glebix-batch [options]\nLance Glebix sans fenêtres : l'initialisation, puis les pas de temps,\npuis les sorties.\n\n", "Usage: glebix-batch [options]\nRuns Glebix without windows: the set-up, then the time steps,\nthen the outputs.\n\n"},
    {"usage.settings", "Paramètres :", "Settings:"},
    {"usage.resume", "À la reprise (--resume), --set ne change que {0}.", "On resuming (--resume), --set changes only {0}."},
    {"usage.value_form", "Les réels s'écrivent avec un point (0.4 et non 0,4), les valeurs oui/non\nen on/off, true/false ou 1/0, les modes par leur numéro.\n", "Reals are written with a point (0.4, not 0,4), yes/no values\nas on/off, true/false or 1/0, modes by their number.\n"},
    {"usage.exit_status", "Code de sortie : 0 si toutes les simulations ont atteint leur dernier pas\nde temps, 1 si une simulation s'est arrêtée sur une erreur, 2 pour une erreur\nd'utilisation, 128 + le numéro du signal après une interruption (130 pour\nCtrl-C, 143 pour SIGTERM).\n", "Exit status: 0 when every run reached its last time step,\n1 when a run stopped on an error, 2 for a usage error,\n128 + the signal's number after an interruption (130 for\nCtrl-C, 143 for SIGTERM).\n"},
    {"option.unknown", "option inconnue : {0}{1}", "unknown option: {0}{1}"},
    {"option.unexpected", "argument inattendu : «{0}»", "unexpected argument: \"{0}\""},
    {"option.no_value_taken", "{0} : cette option ne prend pas de valeur", "{0}: this option takes no value"},
    {"option.value_missing", "{0} : valeur manquante", "{0}: value missing"},
    {"option.not_count", "{0} : «{1}» n'est pas un nombre entier supérieur ou égal à {2}", "{0}: \"{1}\" is not a whole number greater than or equal to {2}"},
    {"option.empty_path", "{0} : le chemin est vide", "{0}: the path is empty"},
    {"option.fps_bound", "{0} : au plus {1} images par seconde", "{0}: at most {1} frames per second"},
    {"option.bad_seed", "{0} : «{1}» n'est pas un entier décimal non signé de 32 bits (de 0 à 4294967295)", "{0}: \"{1}\" is not an unsigned 32-bit decimal integer (from 0 to 4294967295)"},
    {"option.replicates_bound", "--replicates : au plus {0} simulations par appel", "--replicates: at most {0} runs per invocation"},
    {"option.not_with_resume", "{0} ne se combine pas avec --resume : la simulation reprend avec ses paramètres et ses graines enregistrés", "{0} does not go with --resume: the run resumes with its saved settings and seeds"},
    {"option.set_form", "--set : «{0}» n'est pas de la forme NAME=VALUE", "--set: \"{0}\" is not of the form NAME=VALUE"},
    {"option.not_with_repeat", "--repeat : {0} ne s'emploie pas avec --repeat (le manifeste donne la simulation entière)", "--repeat: {0} is not used with --repeat (the manifest gives the whole run)"},
    {"option.checkpoint_pair", "--checkpoint et --checkpoint-every vont ensemble", "--checkpoint and --checkpoint-every go together"},
    {"option.design_unread", "--design « {0} » : {1}", "--design \"{0}\": {1}"},
    {"option.design_bound", "--design : au plus {0} simulations par appel (points × répétitions) ; partagez le plan avec --slice", "--design: at most {0} runs per invocation (points × replicates); share the design out with --slice"},
    {"repeat.result_exists", "--repeat : {0} existe déjà dans le dossier courant ; donnez un autre dossier avec --out", "--repeat: {0} already exists in the working folder; give another folder with --out"},
    // Settings by name, as the batch tool, Python and R take them.
    {"quote.open", "«", "\""},
    {"quote.close", "»", "\""},
    {"setting.range", "de {0} à {1}", "from {0} to {1}"},
    {"setting.null_byte", "{0} contient un octet nul, qu'aucune valeur ni aucun chemin ne peut contenir", "{0} holds a null byte, which no value or path may hold"},
    {"setting.unknown", "paramètre inconnu : {0}{1}", "unknown setting: {0}{1}"},
    {"setting.prefix", "paramètre {0} : ", "setting {0}: "},
    {"setting.not_real", "{0} n'est pas un nombre décimal (avec un point, comme 0.4)", "{0} is not a decimal number (with a point, as in 0.4)"},
    {"setting.not_finite", "{0} est hors des limites des nombres réels", "{0} is beyond the bounds of real numbers"},
    {"setting.not_whole", "{0} n'est pas un nombre entier {1}", "{0} is not a whole number {1}"},
    {"setting.not_mode", "{0} n'est pas un numéro de mode {1}", "{0} is not a mode number {1}"},
    {"setting.not_edges", "{0} n'est pas un bord de parcelle : torus (tore) ou bounded (bords que les individus franchissent pour partir)", "{0} is not a plot edge: torus (the plot wraps around) or bounded (edges that individuals cross to leave)"},
    {"setting.not_flag", "{0} n'est pas une valeur oui/non (on/off, true/false, 1/0)", "{0} is not a yes/no value (on/off, true/false, 1/0)"},
    {"suggestion", " ; voulez-vous dire {0} ?", "; did you mean {0}?"},
    {"word.or", "ou", "or"},
    {"word.and", "et", "and"},
    {"threads.refused", "threads : «{0}» n'est pas un nombre de fils de 0 à {1}", "threads: \"{0}\" is not a number of threads from 0 to {1}"},
    {"jobs.refused", "{0} : «{1}» n'est pas un nombre de simulations simultanées de 0 (une par processeur) à {2}", "{0}: \"{1}\" is not a number of simultaneous runs from 0 (one per processor) to {2}"},
    {"resume.fixed_setting", "{0} : ne peut pas changer à la reprise (seuls {1}, lus à chaque pas de temps, le peuvent)", "{0}: cannot change on resuming (only {1}, read at every time step, can)"},
    {"resume.steps_before", "{0} est avant le pas enregistré ({1})", "{0} is before the saved step ({1})"},
    {"points.empty", "--points : la liste est vide (attendu : des numéros de points à partir de 1, comme 3, 2-5 ou 1,4,7-9)", "--points: the list is empty (expected: point numbers from 1, as in 3, 2-5 or 1,4,7-9)"},
    {"points.bad_item", "--points : «{0}» n'est pas un point ni un intervalle (attendu : des numéros de points à partir de 1, comme 3, 2-5 ou 1,4,7-9)", "--points: \"{0}\" is neither a point nor a range (expected: point numbers from 1, as in 3, 2-5 or 1,4,7-9)"},
    {"points.backwards", "--points : «{0}» : l'intervalle va à rebours", "--points: \"{0}\": the range runs backwards"},
    {"points.missing", "--points : le point {0} n'existe pas (le plan en compte {1})", "--points: point {0} does not exist (the design has {1})"},
    {"slice.bad", "--slice : «{0}» n'est pas de la forme I/N avec 1 ≤ I ≤ N (par exemple 2/10)", "--slice: \"{0}\" is not of the form I/N with 1 ≤ I ≤ N (for example 2/10)"},
    // Input and output files.
    {"file.is_folder", "c'est un dossier, pas un fichier", "it is a folder, not a file"},
    {"file.not_plain", "existe déjà et n'est pas un fichier ordinaire", "already exists and is not a regular file"},
    {"params.line_form", "ligne attendue de la forme NAME=VALUE", "line expected of the form NAME=VALUE"},
    {"design.open_quote", "guillemet non fermé (un champ entre guillemets doit finir sur sa ligne)", "unclosed quote (a quoted field must end on its line)"},
    {"design.column", "colonne {0} : ", "column {0}: "},
    {"design.unnamed_column", "colonne sans nom (des numéros de ligne ? en R, écrivez le fichier avec row.names = FALSE ; avec pandas, index=False)", "column without a name (row numbers? in R, write the file with row.names = FALSE; with pandas, index=False)"},
    {"design.twice", "le paramètre {0} figure deux fois", "setting {0} appears twice"},
    {"design.field_count", "{0} champs au lieu de {1} (un par colonne de l'en-tête)", "{0} fields instead of {1} (one per column of the header)"},
    {"design.too_large", "plan trop grand (au plus 4 Gio de valeurs)", "design too large (at most 4 GiB of values)"},
    {"design.after_quote", "texte après le guillemet fermant du champ {0}", "text after the closing quote of field {0}"},
    {"design.inner_quote", "guillemet au milieu du champ {0} (mettez le champ entier entre guillemets, et doublez ceux qu'il contient)", "quote inside field {0} (put the whole field between quotes, and double those it holds)"},
    {"design.no_header", "aucune ligne d'en-tête (les noms des paramètres)", "no header line (the settings' names)"},
    {"design.no_point", "aucun point (une ligne de valeurs après l'en-tête)", "no point (a line of values after the header)"},
    // Calibration by approximate Bayesian computation.
    {"calibration.no_factor", "calibration : aucun facteur à calibrer", "calibration: no factor to calibrate"},
    {"calibration.factor_twice", "calibration : le facteur {0} figure deux fois", "calibration: factor {0} appears twice"},
    {"calibration.bounds", "calibration : facteur {0} : les bornes {1} et {2} ne conviennent pas (il faut des nombres finis, low < high, et low > 0 sur une échelle log)", "calibration: factor {0}: the bounds {1} and {2} do not fit (finite numbers are needed, low < high, and low > 0 on a log scale)"},
    {"calibration.accept_fraction", "calibration : la fraction acceptée {0} est hors de ]0, 1]", "calibration: the accept fraction {0} is outside (0, 1]"},
    {"calibration.parameter_count", "calibration : {0} paramètres par simulation au lieu de {1} (un par facteur)", "calibration: {0} parameters per run instead of {1} (one per factor)"},
    {"calibration.summary_count", "calibration : {0} résumés au lieu de {1} (un par résumé observé)", "calibration: {0} summaries instead of {1} (one per observed summary)"},
    {"calibration.observed_count", "calibration : {0} résumés observés au lieu de {1} (un par résumé des simulations)", "calibration: {0} observed summaries instead of {1} (one per summary of the runs)"},
    {"calibration.run_count", "calibration : {0} lignes au lieu de {1} (une par simulation)", "calibration: {0} rows instead of {1} (one per run)"},
    {"calibration.distance_count", "calibration : {0} distances au lieu de {1} (une par simulation du lot)", "calibration: {0} distances instead of {1} (one per run of the batch)"},
    {"calibration.observed_missing", "calibration : le résumé observé n° {0} manque ou n'est pas un nombre fini", "calibration: observed summary no. {0} is missing or not a finite number"},
    {"calibration.none_accepted", "calibration : aucune simulation à accepter ({0} en erreur, sans résumés)", "calibration: no run to accept ({0} faulted, without summaries)"},
    {"calibration.population", "calibration : une population de {0} particules ; il en faut au moins {1}", "calibration: a population of {0} particles; at least {1} are needed"},
    {"calibration.quantile", "calibration : le quantile des tolérances {0} est hors de ]0, 1[", "calibration: the tolerances' quantile {0} is outside (0, 1)"},
    {"calibration.stop_rule", "calibration : la tolérance visée {0} doit être positive ou nulle et le taux d'acceptation minimal {1} entre 0 et 1", "calibration: the target tolerance {0} must be zero or positive and the least acceptance rate {1} between 0 and 1"},
    {"calibration.generations", "calibration : il faut au moins une génération", "calibration: at least one generation is needed"},
    {"calibration.no_population", "calibration : aucune génération complète après {0} simulations (le budget de simulations est-il plus petit que la population ?)", "calibration: no complete generation after {0} runs (is the run budget smaller than the population?)"},
    {"calibration.outside_prior", "calibration : {0} propositions de suite hors des bornes des facteurs", "calibration: {0} proposals in a row outside the factors' bounds"},
    {"calibration.no_batch", "calibration : des distances rendues sans lot de simulations en cours", "calibration: distances given back with no batch of runs out"},
    {"calibration.unreadable", "calibration : le fichier « {0} » ne peut être lu", "calibration: the file \"{0}\" cannot be read"},
    {"calibration.csv_empty", "calibration : le fichier « {0} » est vide (une ligne d'en-tête est attendue)", "calibration: the file \"{0}\" is empty (a header line is expected)"},
    {"calibration.csv_quote", "calibration : « {0} », ligne {1} : guillemet mal placé ou non fermé (un champ entre guillemets doit finir sur sa ligne)", "calibration: \"{0}\", line {1}: misplaced or unclosed quote (a quoted field must end on its line)"},
    {"calibration.csv_field_count", "calibration : « {0} », ligne {1} : {2} champs au lieu de {3} (un par colonne de l'en-tête)", "calibration: \"{0}\", line {1}: {2} fields instead of {3} (one per column of the header)"},
    {"calibration.csv_column_missing", "calibration : le fichier « {0} » n'a pas de colonne {1}", "calibration: the file \"{0}\" has no column {1}"},
    {"calibration.csv_not_number", "calibration : « {0} », ligne {1}, colonne {2} : « {3} » n'est pas un nombre (avec un point, comme 0.4)", "calibration: \"{0}\", line {1}, column {2}: \"{3}\" is not a number (with a point, as in 0.4)"},
    {"calibration.observations_empty", "calibration : le fichier d'observations « {0} » n'a aucune observation", "calibration: the observations file \"{0}\" holds no observation"},
    {"calibration.observation_step", "calibration : le pas « {0} » d'une observation ne convient pas : un nombre entier quand la table a une colonne step, rien sinon", "calibration: an observation's step \"{0}\" does not fit: a whole number when the table has a step column, nothing otherwise"},
    {"calibration.output_is_input", "calibration : « {0} » serait à la fois lu et écrit ; choisissez un autre nom de sortie", "calibration: \"{0}\" would be both read and written; choose another output name"},
    {"calibration.not_written", "calibration : le fichier « {0} » ne peut être écrit", "calibration: the file \"{0}\" cannot be written"},
    {"calibration.bad_state", "calibration : l'état enregistré est illisible à la ligne {0}", "calibration: the saved state is unreadable at line {0}"},
    // --repeat.
    {"repeat.unread", "--repeat « {0} » : {1}", "--repeat \"{0}\": {1}"},
    {"repeat.not_manifest", "--repeat « {0} » : ce n'est pas un manifeste de Glebix", "--repeat \"{0}\": this is not a Glebix manifest"},
    {"repeat.setting_not_text", "--repeat : le paramètre {0} du manifeste n'est pas un texte", "--repeat: the manifest's setting {0} is not a text"},
    {"repeat.input_unread", "--repeat : le fichier d'entrée « {0} » ({1}) ne peut être lu : {2}", "--repeat: the input file \"{0}\" ({1}) cannot be read: {2}"},
    {"repeat.input_unread_before", "--repeat : le fichier d'entrée « {0} » ({1}) n'avait pas pu être lu par la simulation d'origine", "--repeat: the input file \"{0}\" ({1}) could not be read by the original run"},
    {"repeat.input_changed", "--repeat : le fichier d'entrée « {0} » ({1}) a changé depuis la simulation d'origine (sa somme SHA-256 n'est plus celle du manifeste)", "--repeat: the input file \"{0}\" ({1}) has changed since the original run (its SHA-256 sum is no longer the manifest's)"},
    {"repeat.state_changed", "--repeat : l'état enregistré « {0} » dont la simulation reprenait a changé depuis (sa somme SHA-256 n'est plus celle du manifeste)", "--repeat: the saved state \"{0}\" the run resumed from has changed since (its SHA-256 sum is no longer the manifest's)"},
    {"repeat.state_unread", "--repeat : l'état enregistré « {0} » dont la simulation reprenait ne peut être lu : {1}", "--repeat: the saved state \"{0}\" the run resumed from cannot be read: {1}"},
    {"repeat.bad_seed", "--repeat « {0} » : la graine du manifeste manque ou n'est pas valable", "--repeat \"{0}\": the manifest's seed is missing or not valid"},
    // The places the outputs go to.
    {"place.empty_input", "{0} : le chemin du fichier à lire est vide", "{0}: the path of the file to read is empty"},
    {"place.result_file", "le fichier de résultats {0}", "the result file {0}"},
    {"place.folder_of", "le dossier de {0} {1}", "the folder of {0} {1}"},
    {"place.grid", "la grille {0}", "the grid {0}"},
    {"place.manifest", "le manifeste {0}", "the manifest {0}"},
    {"place.summary", "le résumé {0}", "the summary {0}"},
    {"place.file_and_folder", "{0} et {1} : un même chemin ne peut être fichier et dossier", "{0} and {1}: one path cannot be both a file and a folder"},
    {"place.same_file", "{0} et {1} désignent le même fichier", "{0} and {1} name the same file"},
    {"place.file_holds_files", "{0} et {1} : un fichier ne peut contenir d'autres fichiers", "{0} and {1}: a file cannot hold other files"},
    {"place.map_name", "{0} et {1} : ce nom est celui d'une carte", "{0} and {1}: this name is a map's"},
    {"place.not_folder_here", "{0} : existe déjà et n'est pas un dossier", "{0}: already exists and is not a folder"},
    {"place.not_folder", "{0} : {1} n'est pas un dossier", "{0}: {1} is not a folder"},
    {"place.unwritable", "{0} : impossible d'écrire dans {1} : {2}", "{0}: cannot write in {1}: {2}"},
    {"place.folder_locked", "le dossier de sortie {0} est déjà utilisé par une autre invocation de glebix-batch en cours", "the output folder {0} is already in use by another running invocation of glebix-batch"},
    {"place.file_locked", "{0} est déjà écrit par une autre invocation de glebix-batch en cours", "{0} is already being written by another running invocation of glebix-batch"},
    // Studies and --validate.
    {"study.incomplete", "{0} : toutes les simulations ne sont pas allées au bout ; leurs lignes sont dans {1}, et {2} dit lesquelles sont entières", "{0}: not every run went to its end; their rows are in {1}, and {2} says which are whole"},
    {"validate.species_values", "valeurs de l'espèce : {0}", "species values: {0}"},
    {"validate.and_others", " (et {0} autres)", " (and {0} others)"},
    {"run.point_replicate", "point {0}, simulation {1}", "point {0}, run {1}"},
    {"run.replicate", "simulation {0}", "run {0}"},
    {"run.lone", "simulation", "run"},
    {"run.point", "point {0}", "point {0}"},
    // Runs and warnings.
    {"run.then", " ; {0}", "; {0}"},
    {"state.withheld", "--save-state « {0} » : aucun état enregistré, le pas qui a échoué avait déjà commencé à changer l'environnement (un fichier déjà là reste tel quel)", "--save-state \"{0}\": no state saved, the step that failed had already begun to change the environment (a file already there stays as it was)"},
    {"threads.refused_by_system", "le système a refusé {0} fil(s) d'exécution ; les simulations continuent avec ceux qui ont pu être créés", "the system refused {0} thread(s); the runs go on with those that could be created"},
    {"warning.nothing_kept", "--replicates ou --design sans aucune sortie ({0}) : rien des simulations ne sera gardé", "--replicates or --design without any output ({0}): nothing of the runs will be kept"},
    {"warning.fps", "--fps {0} : une animation GIF compte ses délais en centièmes de seconde ; elle est écrite à {1} images par seconde, et au-delà de {2} bien des visionneuses la ralentissent (souvent à 10 images par seconde)", "--fps {0}: a GIF animation counts its delays in hundredths of a second; it is written at {1} frames per second, and above {2} many viewers slow it down (often to 10 frames per second)"},
    {"warning.empty_slice", "--slice {0}/{1} : cette part ne contient aucun point", "--slice {0}/{1}: this share holds no point"},
    {"warning.unused_path", "{0} « {1} » est donné, mais {2} vaut {3} : le fichier n'est pas lu (il ne l'est qu'avec {2}=0)", "{0} \"{1}\" is given, but {2} is {3}: the file is not read (it is only with {2}=0)"},
    {"warning.survival", "{1} vaut {0}, hors de [0, 1] : ce n'est pas une probabilité de survie", "{1} is {0}, outside [0, 1]: it is not a survival probability"},
    {"warning.unnamed_cell", "le fichier du milieu initial « {0} » ne nomme pas {1} case sur {2} : elles commencent avec un taux de compaction de -5 %, ce qui tue leur faune dès le premier pas de temps", "the initial environment file \"{0}\" does not name {1} cell of {2}: it starts with a compacted share of -5 %, which kills its fauna in the first time step"},
    {"warning.unnamed_cells", "le fichier du milieu initial « {0} » ne nomme pas {1} cases sur {2} : elles commencent avec un taux de compaction de -5 %, ce qui tue leur faune dès le premier pas de temps", "the initial environment file \"{0}\" does not name {1} cells of {2}: they start with a compacted share of -5 %, which kills their fauna in the first time step"},
    {"warning.negative_count", "le fichier de distribution « {0} » donne un effectif négatif à {1} case", "the distribution file \"{0}\" gives a negative count to {1} cell"},
    {"warning.negative_counts", "le fichier de distribution « {0} » donne un effectif négatif à {1} cases", "the distribution file \"{0}\" gives a negative count to {1} cells"},
    {"warning.placement", "les grilles {4} « {0} » ({1}) et {5} « {2} » ({3}) ne sont pas au même endroit : la simulation les superpose case à case, et les grilles écrites (--asc) prennent le placement de {4} « {0} »", "the grids {4} \"{0}\" ({1}) and {5} \"{2}\" ({3}) do not lie at the same place: the run lays them on one another cell by cell, and the written grids (--asc) take the placement of {4} \"{0}\""},
    {"warning.species_rounding", "fichier de l'espèce « {0} » : {1} {2} devient {3} dans la forme à une décimale du dialogue de l'espèce, et la simulation prend {3} ; --set {1}={2} donne la valeur exacte", "species file \"{0}\": {1} {2} becomes {3} in the one-decimal form of the species dialog, and the run takes {3}; --set {1}={2} gives the exact value"},
    {"animation.palette", "palette d'animation de plus de 255 couleurs : {0}", "animation palette of more than 255 colours: {0}"},
    {"animation.frame_size", "image d'animation de taille inattendue : {0}", "animation frame of unexpected size: {0}"},
    {"animation.colour", "couleur hors de la palette de l'animation : {0}", "colour outside the animation's palette: {0}"},
    {"animation.bad_style", "{0} : «{1}» n'est pas un style d'animation (window ou map)", "{0}: \"{1}\" is not an animation style (window or map)"},
    {"animation.cell_size_range", "{0} : «{1}» hors de {2} à {3} pixels par case", "{0}: \"{1}\" outside {2} to {3} pixels per cell"},
    {"animation.picture_too_large", "{0} : à {1} pixels par case, la carte d'une parcelle de {2} × {3} cases ferait une image de {4} × {5} pixels, plus de {6} de côté ; demandez moins de pixels par case, ou omettez {0} : la taille des cases suit alors celle de la parcelle", "{0}: at {1} pixels per cell, the map of a plot of {2} × {3} cells would make a picture of {4} × {5} pixels, more than {6} a side; ask for fewer pixels per cell, or leave out {0}: the cells' size then follows the plot's"},
    {"animation.cell_size_without_map", "{0} ne vaut que pour le style map ({1})", "{0} applies to the map style only ({1})"},
    // Rasters read with GDAL, GeoTIFF grids and NetCDF time stacks.
    {"gis.raster_unreadable", "le fichier « {0} » n'est ni une grille ASCII ESRI, ni un fichier de triplets, ni une grille que GDAL sait lire (fichier endommagé ou format inconnu)", "the file \"{0}\" is neither an ESRI ASCII grid, nor a file of triplets, nor a grid GDAL can read (damaged file or unknown format)"},
    {"gis.too_many_bands", "le fichier « {0} » a {1} bandes ; choisissez-en une en ajoutant son numéro au chemin : « {0}:1 » à « {0}:{1} »", "the file \"{0}\" has {1} bands; choose one by adding its number to the path: \"{0}:1\" to \"{0}:{1}\""},
    {"gis.no_such_band", "le fichier « {0} » n'a pas de bande {1} (il en a {2})", "the file \"{0}\" has no band {1} (it has {2})"},
    {"gis.rotated", "la grille du fichier « {0} » est tournée (transformation géographique avec rotation) ; la parcelle suit les axes x et y", "the grid of the file \"{0}\" is rotated (a geotransform with rotation); the plot follows the x and y axes"},
    {"gis.non_square", "la grille du fichier « {0} » a des cases non carrées ({1} × {2}) ; les cases de la parcelle sont carrées", "the grid of the file \"{0}\" has cells that are not square ({1} × {2}); the plot's cells are square"},
    {"gis.bottom_up", "la grille du fichier « {0} » va vers le sud ou vers l'ouest de case en case ; seules les grilles dont la première ligne est au nord et la première colonne à l'ouest se lisent", "the grid of the file \"{0}\" runs south or west from cell to cell; only grids whose first row is at the north and first column at the west can be read"},
    {"gis.size", "la grille du fichier « {0} » a {1} colonnes et {2} lignes ; une parcelle a de 1 à {3} cases de côté", "the grid of the file \"{0}\" has {1} columns and {2} rows; a plot has 1 to {3} cells a side"},
    {"gis.no_such_variable", "le fichier NetCDF « {0} » n'a pas de variable « {1} »", "the NetCDF file \"{0}\" has no variable \"{1}\""},
    {"gis.variable_not_2d", "la variable « {0} » du fichier NetCDF « {1} » a {2} dimension(s) ({3}) ; seule une variable à deux dimensions (y, x) se lit comme grille", "the variable \"{0}\" of the NetCDF file \"{1}\" has {2} dimension(s) ({3}); only a two-dimensional variable (y, x) can be read as a grid"},
    {"gis.choose_variable", "le fichier NetCDF « {0} » a plusieurs variables ({1}) ; choisissez-en une en ajoutant son nom au chemin : « {0}:{2} »", "the NetCDF file \"{0}\" has several variables ({1}); choose one by adding its name to the path: \"{0}:{2}\""},
    {"gis.raster_not_written", "Écriture impossible de la grille : {0}", "Cannot write the grid: {0}"},
    {"gis.netcdf_not_written", "Écriture impossible du fichier NetCDF ({1}) : {0}", "Cannot write the NetCDF file ({1}): {0}"},
    {"gis.not_recording", "aucun enregistrement NetCDF en cours", "no NetCDF recording in progress"},
    // Python and R.
    {"replicate.needs_seed", "replicate : une graine (seed) est nécessaire", "replicate: a seed is needed"},
    // Python.
    {"python.species_values", "valeurs d'espèce : {0} valeurs attendues", "species values: {0} values expected"},
    {"python.negative_steps", "step : le nombre de pas doit être positif ou nul ({0})", "step: the number of steps must be positive or zero ({0})"},
    {"python.record_every", "record_every : {0} n'est pas un nombre entier supérieur ou égal à 1", "record_every: {0} is not a whole number greater than or equal to 1"},
    {"python.busy", "la simulation est déjà en cours dans un autre fil d'exécution", "the simulation is already running in another thread"},
    {"python.not_set_up", "la simulation n'est pas initialisée : appelez setup() ou run() d'abord", "the simulation is not set up: call setup() or run() first"},
    {"python.failed", "la simulation s'est arrêtée sur une erreur après le pas {0} : appelez setup() pour la reprendre au début", "the simulation stopped on an error after step {0}: call setup() to start it again from the beginning"},
    {"python.not_utf8", "«{0}» n'est pas un texte UTF-8 valide", "\"{0}\" is not valid UTF-8 text"},
    {"python.value_type", "paramètre {0} : une valeur de type {1} ne convient pas (nombre, booléen, texte ou chemin attendu)", "setting {0}: a value of type {1} does not fit (number, boolean, text or path expected)"},
    {"python.whole_expected", "{0} : un nombre entier est attendu, pas {1}", "{0}: a whole number is expected, not {1}"},
    {"python.cell_type", "cell : {0} doit être un nombre entier, pas {1}", "cell: {0} must be a whole number, not {1}"},
    {"python.cell_range", "cell : {0} = {1} hors de 1 à {2}", "cell: {0} = {1} outside 1 to {2}"},
    {"python.design_column_twice", "plan d'expérience : une colonne apparaît deux fois", "design: a column appears twice"},
    {"python.design_type", "plan d'expérience : un DataFrame ou une liste de dictionnaires est attendu", "design: a DataFrame or a list of dictionaries is expected"},
    {"python.design_empty", "plan d'expérience : aucun point", "design: no point"},
    {"python.point_replicate", "point {0}, répétition {1}", "point {0}, replicate {1}"},
    {"progress.unit", "simulation", "run"},
    // R.
    {"r.lost", "simulation perdue : elle vient d'une session précédente ; recréez-la", "simulation lost: it comes from an earlier session; create it again"},
    {"r.failed", "la simulation s'est arrêtée sur une erreur ; relancez glebix_setup()", "the simulation stopped on an error; run glebix_setup() again"},
    {"r.not_set_up", "la simulation n'est pas initialisée ; appelez d'abord glebix_setup()", "the simulation is not set up; call glebix_setup() first"},
    {"r.steps_left", "la simulation compte {0} pas de temps ; {1} sont faits, il en reste {2}", "the simulation has {0} time steps; {1} are done, {2} are left"},
    {"r.not_count", "{0} : {1} n'est pas un nombre entier de {2} à {3}", "{0}: {1} is not a whole number from {2} to {3}"},
    {"r.bad_seed", "seed : {0} n'est pas un entier de 0 à 4294967295", "seed: {0} is not a whole number from 0 to 4294967295"},
    {"r.path_expected", "{0} : un chemin de fichier est attendu", "{0}: a file path is expected"},
    {"r.values", "{0} valeurs", "{0} values"},
    {"r.design_type", "design : un data.frame d'au moins une ligne est attendu, dont les colonnes sont des noms de paramètres", "design: a data.frame of at least one row is expected, whose columns are setting names"},
    {"r.independent_seeds", "independent_seeds : TRUE ou FALSE est attendu", "independent_seeds: TRUE or FALSE is expected"},
    {"r.points", "points : des numéros de lignes du design distincts, de 1 à {0}, sont attendus", "points: distinct row numbers of the design, from 1 to {0}, are expected"},
    {"r.too_many_runs", "trop de simulations : points × replicates dépasse 2^31 - 1", "too many runs: points × replicates exceeds 2^31 - 1"},
    {"r.too_many_rows", "trop de lignes : simulations × (steps + 1) dépasse 2^31 - 1, le plus grand nombre de lignes d'un data.frame", "too many rows: runs × (steps + 1) exceeds 2^31 - 1, the largest number of rows of a data.frame"},
    {"r.design_row", "design, ligne {0} : ", "design, row {0}: "},
    {"r.failed_run", "point {0}, simulation {1} (graine {2}) : ", "point {0}, run {1} (seed {2}): "},
    {"r.other_failures", " (et {0} autre(s) simulation(s) en erreur)", " (and {0} other run(s) in error)"},
    {"r.unnamed_setting", "chaque paramètre doit être nommé", "every setting must be named"},
    {"r.setting_twice", "paramètre {0} donné deux fois", "setting {0} given twice"},
    {"r.setting_type", "paramètre {0} : valeur d'un type inattendu ({1})", "setting {0}: value of an unexpected type ({1})"},
    {"r.one_value", "une seule valeur est attendue, {0} reçue(s)", "a single value is expected, {0} received"},
    {"r.missing_value", "valeur manquante (NA)", "missing value (NA)"},
    {"r.not_simulation", "un objet créé par glebix_simulation() est attendu", "an object made by glebix_simulation() is expected"},
    {"r.print", "<simulation Glebix : graine {0}, {1}>", "<Glebix simulation: seed {0}, {1}>"},
    {"r.print_step", "pas {0} sur {1}", "step {0} of {1}"},
    {"r.print_not_set_up", "{0} pas, pas encore initialisée", "{0} steps, not set up yet"},
    {"r.terra", "{0}() demande le paquet terra (install.packages(\"terra\"))", "{0}() needs the terra package (install.packages(\"terra\"))"},
    {"r.style", "style : \"window\" ou \"map\" est attendu", "style: \"window\" or \"map\" is expected"},
    // The options' help in --help.
    {"help.steps", "nombre de pas de temps (300 par défaut ; avec 0,\ninitialise et s'arrête)", "number of time steps (300 by default; with 0,\nsets up and stops)"},
    {"help.seed", "graine maîtresse, entier décimal non signé de 32 bits\n(par défaut : tirée de l'horloge)", "master seed, unsigned 32-bit decimal integer\n(by default: drawn from the clock)"},
    {"help.set", "un paramètre par son nom ; répétable, le dernier l'emporte", "one setting by its name; repeatable, the last one wins"},
    {"help.params", "lignes NAME=VALUE (lignes vides et commentaires # permis),\nappliquées avant les options --set", "NAME=VALUE lines (empty lines and # comments allowed),\napplied before the --set options"},
    {"help.species", "fichier de paramètres de l'espèce, appliqué avant --params", "species settings file, applied before --params"},
    {"help.out", "écrit le fichier de résultats RireVed1a1p1.txt dans DIR", "writes the result file RireVed1a1p1.txt into DIR"},
    {"help.trace", "fichier CSV d'une ligne par pas de temps", "CSV file of one line per time step"},
    {"help.snapshots", "cartes PNG des densités, tous les K pas de temps\net après le dernier", "PNG maps of the densities, every K time steps\nand after the last one"},
    {"help.every", "pas de temps entre deux cartes (10 par défaut)", "time steps between two maps (10 by default)"},
    {"help.asc", "grilles finales density.asc et compacted.asc\n(grilles ASCII ESRI)", "final grids density.asc and compacted.asc\n(ESRI ASCII grids)"},
    {"help.tif", "grilles finales density.tif, compacted.tif et decompacted.tif\n(GeoTIFF, géoréférencées comme la grille initiale)", "final grids density.tif, compacted.tif and decompacted.tif\n(GeoTIFF, georeferenced as the initial grid)"},
    {"help.netcdf", "grilles density, compacted et decompacted en NetCDF (CF-1.8) :\naprès l'initialisation, tous les K pas (--every)\net après le dernier", "grids density, compacted and decompacted in NetCDF (CF-1.8):\nafter the set-up, every K steps (--every)\nand after the last one"},
    {"help.animate", "GIF animé de la carte des densités : après l'initialisation,\ntous les K pas de temps (--every) et après le dernier", "animated GIF of the density map: after the set-up,\nevery K time steps (--every) and after the last one"},
    {"help.fps", "images par seconde de l'animation (10 par défaut, de 1 à 100)", "frames per second of the animation (10 by default, from 1 to 100)"},
    {"help.animate-style", "window (par défaut) : l'image de la fenêtre de la parcelle ;\nmap : la carte seule, sa légende et le pas, pour une diapositive", "window (by default): the picture of the plot's window;\nmap: the map alone, its legend and the step, for a slide"},
    {"help.animate-cell-size", "pixels par case du style map, de 2 à 40 (par défaut 10,\nmoins sur une grande parcelle)", "pixels per cell of the map style, from 2 to 40 (by default 10,\nless on a large plot)"},
    {"help.save-state", "écrit l'état de la simulation à sa fin (à reprendre\navec --resume)", "writes the run's state at its end (to resume\nwith --resume)"},
    {"help.checkpoint", "remplace FILE par l'état de la simulation tous les K pas\nde temps (--checkpoint-every K)", "replaces FILE with the run's state every K time\nsteps (--checkpoint-every K)"},
    {"help.checkpoint-every", "pas de temps entre deux états --checkpoint", "time steps between two --checkpoint states"},
    {"help.resume", "reprend la simulation enregistrée dans FILE, sans\ninitialisation, jusqu'au pas --steps N ou à son dernier pas ;\n--set n'y change que les paramètres lus à chaque pas (plus bas)", "resumes the run saved in FILE, without set-up,\nup to step --steps N or to its last step;\n--set changes only the settings read at every step there (below)"},
    {"help.replicates", "R simulations, chacune dans run-001/, run-002/...\nde chaque sortie, et un summary.csv pour l'ensemble", "R runs, each in run-001/, run-002/...\nof every output, and one summary.csv for them all"},
    {"help.jobs", "simulations menées à la fois (par défaut : le nombre\nde processeurs disponibles)", "runs carried out at once (by default: the number\nof available processors)"},
    {"help.design", "plan d'expérience CSV : une colonne par paramètre, une ligne\npar point ; chaque point dans point-NNN/run-RRR/", "CSV experimental design: one column per setting, one row\nper point; each point in point-NNN/run-RRR/"},
    {"help.table", "un CSV pour tout l'appel : une ligne par pas de temps de\nchaque simulation, pas 0 compris", "one CSV for the whole invocation: one row per time step\nof every run, step 0 included"},
    {"help.points", "seulement ces points du plan (3, 2-5, 1,4,7-9)", "only these points of the design (3, 2-5, 1,4,7-9)"},
    {"help.slice", "seulement la I-ième de N parts contiguës des points\n(pour les tâches d'un job array)", "only the I-th of N contiguous shares of the points\n(for the tasks of a job array)"},
    {"help.independent-seeds", "une graine propre à chaque simulation du plan (par défaut,\nla répétition r de chaque point a la même graine)", "a seed of its own for every run of the design (by default,\nreplicate r of every point has the same seed)"},
    {"help.strict", "chaque avertissement devient une erreur d'utilisation", "every warning becomes a usage error"},
    {"help.repeat", "relance la simulation que décrit un manifeste\n(RireVed1a1p1.json des fenêtres, manifest.json) :\nmêmes paramètres, graine et fichiers d'entrée", "runs again the run a manifest describes\n(RireVed1a1p1.json of the windows, manifest.json):\nsame settings, seed and input files"},
    {"help.validate", "vérifie chaque option, paramètre et fichier d'entrée,\nsans rien lancer", "checks every option, setting and input file,\nwithout running anything"},
    {"help.quiet", "pas de ligne de progression", "no progress line"},
};
// clang-format on

}  // namespace

std::span<const CatalogueEntry> Catalogue() {
    static const std::vector<CatalogueEntry> all = [] {
        std::vector<CatalogueEntry> entries(std::begin(Entries), std::end(Entries));
        // The engine's entries: its French by key, with the English of EngineEnglish();
        // a key without its English or its French gets an empty text, which the tests refuse.
        std::map<std::string_view, const char *> english;
        for (const EnglishRow &row : EngineEnglish()) english.emplace(row.Key, row.English);
        auto take = [&english](const char *key) {
            const auto found = english.find(key);
            if (found == english.end()) return "";
            const char *text = found->second;
            english.erase(found);
            return text;
        };
        for (const EngineMessageRow &row : EngineMessageRows) entries.push_back({row.Key, row.French, take(row.Key)});
        static std::deque<std::string> keys;  // kept for the entries' lifetime
        for (const SettingRow &row : SettingRows()) {
            const char *key = keys.emplace_back(SettingDescriptionKey(row)).c_str();
            entries.push_back({key, row.description.data(), take(key)});
        }
        for (const auto &[key, text] : english) entries.push_back({key.data(), "", text});
        return entries;
    }();
    return all;
}

}  // namespace glebix::batch
