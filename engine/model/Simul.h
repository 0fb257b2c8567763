// The engine object: the live plot, the settings, the generator and the work grids of
// one model, with run set-up, the time step and its four processes, and the result
// file. Each front end owns its own (the windowed program's main, each run session).
// Windows read its state through plain member access.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AsciiGrid.h"
#include "InputFile.h"
#include "PlotShape.h"
#include "Plot.h"
#include "Random.h"
#include "RunSpecies.h"
#include "Settings.h"

namespace glebix {

class CellShare;
struct EventSchedule;
class FastDispersal;
class StepResources;
class MortalityCache;

// A cell of the plot by its row i and its column j, each from 1.
struct CellIndex {
    std::int32_t I = 1;
    std::int32_t J = 1;
};

class Simul {
public:
    Simul();
    ~Simul();
    Simul(const Simul &) = delete;
    Simul &operator=(const Simul &) = delete;

    // ---- State -----------------------------------------------------------------
    TPlot Plot{};                            // the live plot; all zero before the first run
    TSettings Settings = DefaultSettings();  // texts, flags and modes as the dialogs hold them
    RunSpecies Species;                      // species values of the current run
    std::int32_t ChartCellX = 0;             // chart cell taken at set-up, bounded into the plot
    std::int32_t ChartCellY = 0;
    CellIndex ChartCell() const { return {ChartCellX, ChartCellY}; }
    void SetChartCell(CellIndex cell) { ChartCellX = cell.I, ChartCellY = cell.J; }
    std::uint32_t RandomSeed = 0;  // state of the program's single generator
    std::uint32_t RunSeed = 0;     // the seed the last set-up started the generator from
    // Individuals that left a bounded plot in the last dispersal pass.
    std::int64_t Emigrants = 0;
    // Individuals that landed on cells that are no habitat in the last dispersal pass.
    std::int64_t Lost = 0;
    // The windows show 50 x 50 plots only: on, a grid of another size is refused with
    // a message saying where it runs.
    bool FixedPlotSize = false;
    // On, set-up refuses a chart cell outside the plot (the front ends that name
    // settings); off, it bounds it into the plot as the windows do.
    bool RefuseChartCellOutside = false;
    // Where the initial environment grid (else the distribution grid) lay; empty when
    // neither initial file was a grid. Set at set-up.
    std::optional<GridPlacement> InputGridPlacement;
    // The coordinate reference system of that grid's file (WKT; empty for none), once
    // looked up by the caller (the engine reads none): kept with the run, so that a
    // resumed run's grids lie where the unbroken run's do. Unknown until then.
    std::optional<std::string> InputGridCrs;
    // Bytes of input files already read by the caller; set-up reads the files it does
    // not find here. Null in the program: every set-up reads its files anew.
    std::shared_ptr<const InputBytes> GivenInputs;

    // ---- Management events (Events.h) -----------------------------------------
    // The run's schedule, applied at the start of each step; none: nothing happens
    // besides the processes. Set-up clears it: the front ends give it after set-up.
    std::shared_ptr<const EventSchedule> Events;
    // The steps begun since set-up, or since the saved step a run was put back at: the
    // events' clock.
    std::int32_t StepsBegun = 0;
    // The settings as the run began, kept when an event first changes one of them.
    std::optional<TSettings> SettingsBeforeEvents;
    const TSettings &SettingsAsBegun() const { return SettingsBeforeEvents ? *SettingsBeforeEvents : Settings; }

    // Lets pending window events run; called at every yield point of the processes.
    // Does nothing by default.
    std::function<void()> ProcessMessages;

    // ---- Random numbers --------------------------------------------------------
    // Next uniform number in [0, 1) of the linear congruential generator.
    double RandomUniform() {
        RandomSeed = NextRandom(RandomSeed);
        return UniformOf(RandomSeed);
    }
    // RandomSeed := ClockSeed().
    void ReseedFromClock();

    // ---- Run set-up ------------------------------------------------------------
    // Reseeds (from the clock, or with `seed` when given), rebuilds the plot and takes
    // the species values. Raises GlebixError on a bad input file or refused setting.
    void SetUpRun(std::optional<std::uint32_t> seed = std::nullopt);
    void InitialisePlot();
    // The size and edges set-up gives the plot: the settings', or a grid input's.
    PlotShape TakePlotShape() const;
    void TakeSpeciesParameters();

    // ---- Time step -------------------------------------------------------------
    void TimeStep();
    void Reproduce();
    void ApplySurvival();
    void Disperse();           // the dispersal pass used by TimeStep
    void DisperseReference();  // the plain definition of a dispersal pass
    // The plain definitions of reproduction and survival, and a time step made of them
    // and of the fast dispersal pass in its plain form (plain preparation of the cells,
    // every offset worked out): the same results, generator states and faults as the
    // processes TimeStep uses, which skip work that cannot change a result. For tests
    // and measurements.
    void TimeStepReference();
    void ReproduceReference();
    void ApplySurvivalReference();
    // Threads of the dispersal pass, and of reproduction and survival when no event
    // processing runs between cells (ProcessMessages empty); 0 (the default) means
    // one per processor the process may run on (fewer when the system refuses
    // threads). The results do not depend on it.
    void SetDispersalThreads(int count);
    int DispersalThreads() const;
    void UpdateEnvironment();
    // The steps whose environment update has begun: a step that failed with this count
    // unchanged left every cell's soil shares as they were before it.
    std::uint64_t EnvironmentUpdatesBegun() const { return environmentUpdates_; }

    // Successes among `count` trials of probability p (rounded expectation above 100).
    std::int32_t DrawCount(std::int32_t count, double p);
    // Environment response of a cell of compacted share x for the run's shape.
    double EnvResponse(double optimum, double tolerance, double x) const;
    // EnvResponse(optimum, tolerance, x) surely raises no fault for any x with |x| at
    // most this (negative: no x is sure; x beyond it may still raise none).
    double EnvResponseSureLimit(double optimum, double tolerance) const;

    // ---- Result file -----------------------------------------------------------
    // Writes the plot to "<ResultDirectory>/RireVed1a1p1.txt" (ResultFileName()).
    void WriteResultFile();
    std::string ResultFilePath() const;
    // The same for any base name and run indices: "<base><inner>a<middle>p<outer>.txt".
    void WriteResultFile(const std::string &base, std::int32_t inner, double middle, double outer);
    std::string ResultFilePath(const std::string &base, std::int32_t inner, double middle, double outer) const;

private:
    void Yield() {
        if (ProcessMessages) ProcessMessages();
    }
    void DisperseFast(bool plainForm);
    void StepWith(bool plainForms);  // TimeStep, or TimeStepReference with the plain forms
    // The step's threads and work grids, which its processes borrow: made anew for
    // another thread count, sized for the plot.
    StepResources &Step();
    CellShare &Share();
    bool ShareCells() const { return !ProcessMessages && DispersalThreads() > 1; }
    void BreedCell(int cell, std::uint32_t &state);
    static void BreedSharedCells(void *self, int &cell, int end, std::uint32_t &state, int thread);
    double CrowdedMortality(std::int32_t exposed, std::int32_t excess) const;
    void SurviveCell(int cell, std::uint32_t &state, MortalityCache &kept);
    static void SurviveSharedCells(void *self, int &cell, int end, std::uint32_t &state, int thread);
    static std::uint32_t SurvivalDraws(void *self, int cell);

    int dispersalThreads_ = 0;                      // as set; 0 = one per processor
    std::uint64_t environmentUpdates_ = 0;          // see EnvironmentUpdatesBegun()
    std::shared_ptr<StepResources> step_;           // see Step()
    std::shared_ptr<FastDispersal> fastDispersal_;  // the pass of Disperse, with its offset table
    // Values of the pass under way that do not change from cell to cell.
    struct PassConstants {
        double ResponseSureLimit = -1;  // of EnvResponse for the run's species
        double BaseMortality = 0;       // 1 - Survival as a double, when BaseStored
        bool BaseStored = false;
    } pass_;
    // Work grids of the plain dispersal pass, made at its first use at the plot's size.
    std::unique_ptr<CellGrid<std::int32_t>> stayers_, arrivals_;
    std::unique_ptr<CellShare> share_;                        // reproduction and survival on the threads
    std::vector<std::unique_ptr<MortalityCache>> mortality_;  // one per thread
};

// The chart cell index that run set-up takes from a field's text: the whole number
// it converts to, bounded into 1 to `side`.
std::int32_t ChartCellFromField(const std::string &text, int side = GridSide);

// The chart cell a run with `run`'s settings takes on a plot of `shape`.
CellIndex TakenChartCell(const RunSettings &run, const PlotShape &shape);

// The species values that run set-up takes from the settings. Raises GlebixError,
// naming the setting, for a value the run cannot take.
RunSpecies SpeciesTakenFrom(const SpeciesSettings &settings);

// The initial count that the distribution mode `mode` (other than the random one)
// gives cell (i, j), each from 1, of a plot `width` x `height`, with the count
// setting's value `constant`.
std::int32_t PatternCount(std::int32_t mode, int i, int j, std::int32_t constant, int width = GridSide,
                          int height = GridSide);

// The soil that the homogeneous initial environment gives every cell, from the
// compacted share `constant`.
TCellEnv HomogeneousCellEnv(double constant);

// How many generator draws run set-up makes with these settings on a plot of `cells` cells.
std::uint64_t SetUpDraws(const InitialSettings &initial, std::uint64_t cells = CellCount);

// The low 32 bits of a monotonic clock in nanoseconds: the seed of a run without one.
std::uint32_t ClockSeed();

}  // namespace glebix
