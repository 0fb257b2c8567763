// Calibration by sequential Monte Carlo: a sequence of weighted populations, each
// within a smaller tolerance than the one before. It is a state machine that hands out
// batches of parameter points and takes back their distances, so that the runs may be
// made anywhere; its state between two generations is a text, from which an interrupted
// calibration resumes as if it had never stopped.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "AbcPrior.h"
#include "AbcRejection.h"
#include "AbcDistance.h"
#include "AbcStatistics.h"

namespace glebix::calibration {

struct SmcSettings {
    std::size_t Population = 1000;  // particles per generation, at least MinPopulation
    // Each generation's tolerance is this quantile of the previous population's distances.
    double Quantile = 0.5;  // in (0, 1)
    // Stops after the generation whose tolerance is at or below this.
    double TargetTolerance = 0;
    // Stops before handing out a run beyond this many in all (0: no limit); the result is
    // then the last complete generation.
    std::size_t RunBudget = 0;
    // Stops after a generation that accepted fewer than this share of its runs, or as soon
    // as the generation in progress cannot end above it.
    double MinAcceptance = 0;
    std::size_t MaxGenerations = 20;  // the prior generation included
    std::uint64_t Seed = 1;
    // Stopped by the budget, the generation in progress becomes the last one when it has
    // accepted at least this share of the population (in (0, 1]; 1: only a full one).
    double FinalShare = 0.5;
    // The distance of TakeDifferences rescaled on each generation's runs, not only on the
    // prior generation's.
    bool AdaptiveScales = false;
    // Each particle moved by its own kernel, of the optimal local covariance, rather than
    // by one kernel of twice the population's covariance.
    bool LocalKernel = false;
};
inline constexpr std::size_t MinPopulation = 2;
// The version of the state's text; a state of another version is refused, not guessed at.
inline constexpr std::size_t SmcStateVersion = 2;

// A run to make: its parameters, each on its factor's own scale, and its seed.
struct SmcPoint {
    std::vector<double> Values;
    std::uint32_t Seed = 0;
};

enum class SmcStop { Running, Tolerance, Budget, Acceptance, Generations };

struct SmcGeneration {
    double Tolerance = 0;
    std::size_t Runs = 0;      // runs handed out for it
    std::size_t Accepted = 0;  // its population
    std::size_t Faulted = 0;   // its runs that gave no distance
};

class AbcSmc {
public:
    // Refuses bad factors or settings.
    AbcSmc(std::vector<Factor> factors, SmcSettings settings);

    // The runs to make next, for the generation in progress; empty once stopped. Asked
    // again before their distances come back, the same batch.
    const std::vector<SmcPoint> &NextBatch();
    // The distances of the batch's runs, in its order; not a number for a run that faulted.
    void TakeDistances(std::span<const double> distances);
    // Instead, each run's summaries minus the observed ones (a row per run; a missing value
    // for a run that faulted): the distance is then the calibration's own, Euclidean on the
    // differences divided by their scales (DistanceScales), and the particles keep their
    // differences for the regression adjustment of Adjusted().
    void TakeDifferences(const Matrix &differences);

    SmcStop Stop() const { return stop_; }
    bool Done() const { return stop_ != SmcStop::Running; }
    std::size_t CompleteGenerations() const { return history_.size(); }
    std::size_t Runs() const { return completeRuns_ + generationRuns_; }
    // The runs that gave no distance, over the whole calibration (a resumed one included).
    std::size_t FaultedRuns() const { return completeFaulted_ + generationFaulted_; }
    const std::vector<SmcGeneration> &History() const { return history_; }
    const std::vector<Factor> &Factors() const { return factors_; }
    // The last complete population, in the order its particles were accepted. Its ids give
    // each particle's run number (from 1, over the whole calibration) as Point, and its seed.
    // Refused before the prior generation is complete.
    Posterior Current() const;
    // Current() adjusted by the local-linear regression on the particles' deviations,
    // weighted by their importance weights times the Epanechnikov kernel of their distances;
    // Current() itself when no deviations were given.
    Posterior Adjusted() const;

    // The summary scales of the distance of TakeDifferences, for the generation in
    // progress: each summary's spread (SummaryScales) over the prior generation's runs, or
    // with AdaptiveScales over the last complete generation's runs; a scale given here
    // (positive) is kept instead. Empty before the prior generation is complete.
    const std::vector<double> &DistanceScales() const { return scales_; }
    void SetGivenScales(std::vector<double> given) { given_ = std::move(given); }

    // The state at the last complete generation (runs of the one in progress are made
    // again after a restore, from the same draws).
    std::string Save() const;
    // Refuses a malformed state, and one of another version naming `source`.
    static AbcSmc Restore(std::string_view text, const std::string &source = "");

private:
    void Prepare();
    void StartGeneration();
    void CompleteGeneration();
    void Take(std::span<const double> distances, const Matrix *differences);
    std::vector<SummaryScale> Scales() const;
    const Cholesky &KernelOf(std::size_t particle) const;
    static double LogDeterminant(const Cholesky &factor);
    void LocalKernels(std::span<const double> distances);
    std::vector<double> DistancesUnderScales(const Matrix &differences) const;
    void UpdateScales();
    void KeepPartialGeneration();
    void Reweigh();
    std::vector<double> Propose();
    std::size_t BatchSize() const;

    std::vector<Factor> factors_;
    SmcSettings settings_;
    // The last complete population, on the working scale.
    Matrix particles_;
    std::vector<double> weights_, distances_;
    Matrix differences_;  // of the last population's particles; no column when not given
    std::vector<std::uint32_t> seeds_;
    std::vector<std::size_t> runNumbers_;
    std::vector<SmcGeneration> history_;
    std::size_t completeRuns_ = 0, completeFaulted_ = 0;
    SmcStop stop_ = SmcStop::Running;
    std::vector<double> scales_, given_;
    // Drawn from the last complete population.
    double tolerance_ = std::numeric_limits<double>::infinity();
    std::vector<Cholesky> kernels_;  // one, or one per particle with LocalKernel
    std::vector<double> cumulative_;
    // The generation in progress.
    Stream stream_{0};
    Matrix accepted_;
    std::vector<double> acceptedDistances_;
    Matrix acceptedDifferences_, generationDifferences_;  // the latter of every run that gave summaries
    std::vector<std::uint32_t> acceptedSeeds_;
    std::vector<std::size_t> acceptedRuns_;
    std::size_t generationRuns_ = 0, generationFaulted_ = 0;
    std::vector<SmcPoint> batch_;
    Matrix batchWorking_;
    bool batchOut_ = false;
};

}  // namespace glebix::calibration
