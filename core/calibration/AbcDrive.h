// The estimators driven by a model given as a function: a uniform sample of the prior
// for the rejection, and a sequential calibration run to its end. The studies' own runs
// (threads, slices, clusters) drive the same pieces with their own loop.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "AbcDistance.h"
#include "AbcPrior.h"
#include "AbcSmc.h"

namespace glebix::calibration {

// A run of the model: its summaries for the parameters (each on its factor's own scale)
// and the seed; no summary, or a missing one, when it faulted.
using Model = std::function<std::vector<double>(std::span<const double> values, std::uint32_t seed)>;

// `runs` points drawn uniformly from the prior (on each factor's working scale), each run
// once with its own seed, all from `seed`. Point k is numbered k (from 1).
PriorRuns SamplePrior(std::span<const Factor> factors, std::size_t runs, std::uint64_t seed, const Model &model);

// A run's summaries, those of a faulted run (none) as `count` missing values; refuses
// another count.
std::vector<double> CompletedSummaries(std::vector<double> summaries, std::size_t count);

// The summaries of the runs of `smc`'s batch, in its order, given back as their
// differences from the observed ones (AbcSmc::TakeDifferences).
void TakeSummaries(AbcSmc &smc, std::span<const double> observed, const Matrix &summaries);

// Runs the batches of `smc` through `model` until it stops, or until `maxBatches`
// batches have been run (an interruption). The summary scales are fixed on the first
// batch of the prior generation, unless the state already holds them.
void RunSmc(AbcSmc &smc, std::span<const double> observed, const Model &model,
            std::size_t maxBatches = static_cast<std::size_t>(-1));

}  // namespace glebix::calibration
