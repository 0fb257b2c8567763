// The engine object: the live plot, the settings, the generator and the work grids of
// one model, with run set-up, the time step and its four processes, and the result
// file. The program keeps one program-wide instance (TheSimul); tests and the batch
// tool make their own. Windows read its state through plain member access.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "InputFile.h"
#include "Plot.h"
#include "Settings.h"

namespace glebix {

class FastDispersal;

// Species values taken from the settings at run set-up, fixed for the run.
struct RunSpecies {
    double Survival = 0;
    double Fecundity = 0;
    std::int32_t ResponseShape = 0;
    double ResponseOptimum = 0;
    double ResponseTolerance = 0;
    std::int32_t DispersalSensitivity = 0;
    double DispersalSigma = 0;
    double CompactionC = 0;
    double MortalityAlpha = 0;
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
    std::int32_t ChartCellX = 0;             // chart cell taken at set-up, bounded into 1..50
    std::int32_t ChartCellY = 0;
    std::uint32_t RandomSeed = 0;  // state of the program's single generator
    std::uint32_t RunSeed = 0;     // the seed the last set-up started the generator from
    // Bytes of input files already read by the caller; set-up reads the files it does
    // not find here. Null in the program: every set-up reads its files anew.
    std::shared_ptr<const InputBytes> GivenInputs;

    // Lets pending window events run; called at every yield point of the processes.
    // Does nothing by default.
    std::function<void()> ProcessMessages;

    // ---- Random numbers --------------------------------------------------------
    // Next uniform number in [0, 1) of the linear congruential generator.
    double RandomUniform() {
        RandomSeed = RandomSeed * 134775813u + 1u;
        return RandomSeed * (1.0 / 4294967296.0);
    }
    // RandomSeed := ClockSeed().
    void ReseedFromClock();

    // ---- Run set-up ------------------------------------------------------------
    // Reseeds (from the clock, or with `seed` when given), rebuilds the plot and takes
    // the species values. Raises GlebixError on a bad input file or refused setting.
    void SetUpRun(std::optional<std::uint32_t> seed = std::nullopt);
    void InitialisePlot();
    void TakeSpeciesParameters();

    // ---- Time step -------------------------------------------------------------
    void TimeStep();
    void Reproduce();
    void ApplySurvival();
    void Disperse();           // the dispersal pass used by TimeStep
    void DisperseReference();  // the plain definition of a dispersal pass
    // Threads of the dispersal pass; 0 (the default) means one per processor the
    // process may run on (fewer when the system refuses threads). The
    // results do not depend on it.
    void SetDispersalThreads(int count);
    int DispersalThreads() const;
    void UpdateEnvironment();

    // Successes among `count` trials of probability p (rounded expectation above 100).
    std::int32_t DrawCount(std::int32_t count, double p);
    // Environment response of a cell of compacted share x for the run's shape.
    double EnvResponse(double optimum, double tolerance, double x) const;

    // ---- Result file -----------------------------------------------------------
    // Writes the plot to "<ResultDirectory>/RireVed1a1p1.txt" (ResultFileName()).
    void WriteResultFile();
    std::string ResultFilePath() const;
    // The same for any base name and run indices: "<base><inner>a<middle>p<outer>.txt".
    void WriteResultFile(const std::string &base, std::int32_t inner, double middle, double outer);
    std::string ResultFilePath(const std::string &base, std::int32_t inner, double middle, double outer) const;

    // Work grids of the dispersal pass; their contents between passes mean nothing.
    std::int32_t Stayers[GridSide][GridSide]{};
    std::int32_t Arrivals[GridSide][GridSide]{};

private:
    void Yield() {
        if (ProcessMessages) ProcessMessages();
    }

    int dispersalThreads_ = 0;                      // as set; 0 = one per processor
    std::shared_ptr<FastDispersal> fastDispersal_;  // threads and work grids of Disperse
};

// The chart cell index that run set-up takes from a field's text: the whole number
// it converts to, bounded into 1 to 50.
std::int32_t ChartCellFromField(const std::string &text);

// The low 32 bits of a monotonic clock in nanoseconds: the seed of a run without one.
std::uint32_t ClockSeed();

// The program-wide instance used by the windows.
Simul &TheSimul();

}  // namespace glebix
