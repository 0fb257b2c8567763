// Every value that steers a run. Edit-field settings are kept as the text typed in
// their field and converted with FieldToInteger / FieldToReal at the moment the
// engine reads them; flags and modes are typed values that check boxes and radio
// buttons write at once.
#pragma once

#include <cstdint>
#include <string>

namespace glebix {

// Initial environment modes (the radio buttons of the initial environment dialog).
inline constexpr std::int32_t EnvModeFile = 0;
inline constexpr std::int32_t EnvModeRandom = 1;
inline constexpr std::int32_t EnvModeHomogeneous = 2;
inline constexpr std::int32_t EnvModeCount = 3;
// Initial distribution modes (the radio buttons of the initial distribution dialog).
inline constexpr std::int32_t DistModeFile = 0;
inline constexpr std::int32_t DistModeRandom = 1;
inline constexpr std::int32_t DistModeHomogeneous = 2;
inline constexpr std::int32_t DistModeLeftThird = 3;
inline constexpr std::int32_t DistModeCentre = 4;
inline constexpr std::int32_t DistModeCount = 5;
// Environment response shapes (set by the species file).
inline constexpr std::int32_t ResponseNormal = 0;
inline constexpr std::int32_t ResponseBell = 1;
inline constexpr std::int32_t ResponseLogistic = 2;
inline constexpr std::int32_t ResponseShapeCount = 3;

// Species dialog "Espèce" (and the species parameter file).
struct SpeciesSettings {
    std::string Survival = "0.4";                   // survival probability per step; read at set-up
    std::string Fecundity = "2";                    // offspring per individual per step; read at set-up
    std::string MortalityAlpha = "1";               // exponent of the crowding mortality; read at set-up
    std::string CompactionC = "0.301";              // compaction per individual; read at set-up
    std::string DispersalSensitivity = "0";         // whole number, exponent of the crowding spread; set-up
    std::string DispersalSigma = "0.5";             // base spread of the displacement; read at set-up
    std::int32_t ResponseShape = ResponseLogistic;  // 0 normal, 1 bell, 2 logistic; set by the species file
    double ResponseOptimum = 0;                     // centre (shapes 0, 1) or intercept (shape 2)
    double ResponseTolerance = 0;                   // width (shapes 0, 1) or slope (shape 2)
    bool SurvivalEnvSensitive = true;               // crowding can raise mortality; live, once per cell
    bool FecundityEnvSensitive = false;             // births follow the cell's response; live, once per cell
    bool DispersalFirst = false;                    // dispersal before survival; live, once per step
};

// Initial environment dialog and initial distribution dialog.
struct InitialSettings {
    std::int32_t EnvInitMode = EnvModeRandom;    // 0 file, 1 random, 2 homogeneous
    std::string EnvMean = "33";                  // mean compacted share of the random environment
    std::string EnvVariability = "10";           // half-width of the random environment
    std::string EnvConstant = "20";              // compacted share of the homogeneous environment
    std::string EnvFilePath;                     // initial environment file, mode 0 only
    std::int32_t DistInitMode = DistModeCentre;  // 0 file, 1 random, 2 homogeneous, 3 left third, 4 centre
    std::string DistConstant = "2";              // whole number: count of the occupied cells
    std::string DistMean = "5";                  // whole number: mean count of the random distribution
    std::string DistVariability = "20";          // half-width of the random distribution
    std::string DistFilePath;                    // initial distribution file, mode 0 only
    // Grids of per-cell values that replace CompactionC and DecompactionD; empty: none.
    std::string CompactionCMapPath;
    std::string DecompactionDMapPath;
    std::string HabitatFilePath;       // habitat mask (Habitat.h); empty: every cell is habitat
    bool EnvNoDataNonHabitat = false;  // the environment file's unnamed cells are no habitat
};

// Environment dynamics, outputs and run settings.
struct RunSettings {
    bool EnvDynamic = true;               // the fauna reshapes the soil; live, once per step
    std::string DecompactionD = "5.658";  // largest relaxation per cell and step; converted every step
    bool ShowDensityMap = true;           // redraw the map after every step; live
    bool ShowCellChart = true;            // add chart markers after every step; live
    std::string ChartCellX = "8";         // whole number: row of the chart cell; read at set-up
    std::string ChartCellY = "8";         // whole number: column of the chart cell; read at set-up
    bool SaveResults = false;             // write the result file at the last step
    std::string ResultDirectory;          // directory of the result file; read when it is written
    std::string StepCount = "300";        // whole number: steps of a run; read when a run starts
    std::string EventsFilePath;           // schedule of management events; read at set-up, not in the windows
    // Whether the chart cell's texts were given by name rather than left at their
    // default, which on a plot of another size than 50 x 50 stands for its centre.
    bool ChartCellXGiven = false;
    bool ChartCellYGiven = false;
    // The texts hold the centre the last set-up took for them.
    bool ChartCellXTaken = false;
    bool ChartCellYTaken = false;
};

// Size and edges of the plot; read at set-up. A grid input sets the size; a side given
// by name, or holding another text than the default, must then agree with it.
inline constexpr const char *EdgesTorus = "torus";      // a disperser beyond an edge comes in at the other
inline constexpr const char *EdgesBounded = "bounded";  // it leaves the plot
struct PlotSettings {
    std::string Width = "50";     // whole number: cells along the row index i, west to east
    std::string Height = "50";    // whole number: cells along the column index j, south to north
    std::string Edges = "torus";  // EdgesTorus or EdgesBounded
    bool WidthGiven = false;      // set by name, so a demand even at the default text
    bool HeightGiven = false;
    bool SizeFromGrid = false;  // Width and Height were written by the last set-up's grid
};

struct TSettings;
// Notes that the setting held in `member` of `settings` was given by name (a front end's
// value, a design's, a params file's): the plot's sides and the chart cell then hold
// even at their default texts.
void NoteGivenByName(TSettings &settings, const void *member);

struct TSettings {
    SpeciesSettings Species;
    InitialSettings Initial;
    RunSettings Run;
    PlotSettings Plot;
};

// The settings every unit gives at program start.
inline TSettings DefaultSettings() { return TSettings{}; }

}  // namespace glebix
