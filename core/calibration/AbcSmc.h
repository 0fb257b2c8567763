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
};
inline constexpr std::size_t MinPopulation = 2;

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

    SmcStop Stop() const { return stop_; }
    bool Done() const { return stop_ != SmcStop::Running; }
    std::size_t CompleteGenerations() const { return history_.size(); }
    std::size_t Runs() const { return completeRuns_ + generationRuns_; }
    const std::vector<SmcGeneration> &History() const { return history_; }
    const std::vector<Factor> &Factors() const { return factors_; }
    // The last complete population, in the order its particles were accepted. Its ids give
    // each particle's run number (from 1, over the whole calibration) as Point, and its seed.
    // Refused before the prior generation is complete.
    Posterior Current() const;

    // The distance's summary scales, fixed on the prior generation by the caller and kept
    // with the state.
    const std::vector<double> &DistanceScales() const { return scales_; }
    void SetDistanceScales(std::vector<double> scales) { scales_ = std::move(scales); }

    // The state at the last complete generation (runs of the one in progress are made
    // again after a restore, from the same draws).
    std::string Save() const;
    static AbcSmc Restore(std::string_view text);

private:
    void Prepare();
    void StartGeneration();
    void CompleteGeneration();
    void Reweigh();
    std::vector<double> Propose();
    std::size_t BatchSize() const;

    std::vector<Factor> factors_;
    SmcSettings settings_;
    // The last complete population, on the working scale.
    Matrix particles_;
    std::vector<double> weights_, distances_;
    std::vector<std::uint32_t> seeds_;
    std::vector<std::size_t> runNumbers_;
    std::vector<SmcGeneration> history_;
    std::size_t completeRuns_ = 0;
    SmcStop stop_ = SmcStop::Running;
    std::vector<double> scales_;
    // Drawn from the last complete population.
    double tolerance_ = std::numeric_limits<double>::infinity();
    std::optional<Cholesky> kernel_;
    std::vector<double> cumulative_;
    // The generation in progress.
    Stream stream_{0};
    Matrix accepted_;
    std::vector<double> acceptedDistances_;
    std::vector<std::uint32_t> acceptedSeeds_;
    std::vector<std::size_t> acceptedRuns_;
    std::size_t generationRuns_ = 0;
    std::vector<SmcPoint> batch_;
    Matrix batchWorking_;
    bool batchOut_ = false;
};

}  // namespace glebix::calibration
