// The distance between a run's summaries and the observed ones: Euclidean, each summary
// divided by its spread over the prior runs, so that no summary weighs by its unit.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "AbcStatistics.h"

namespace glebix::calibration {

// How a summary's spread was measured over the prior runs:
//   Mad: the median absolute deviation from the median, times MadToSd (R's mad()).
//   MeanDeviation: the MAD is 0 (more than half the runs share one value) but the
//     summary still varies: the mean absolute deviation from the median, times MadToSd.
//   Constant: every run gives the same value. The summary cannot tell runs apart: it is
//     left out of the distance (scale 0, deviation 0), which changes no run's rank.
//   Given: the caller's scale (an observation's standard deviation).
enum class ScaleRule { Mad, MeanDeviation, Constant, Given };
inline constexpr double MadToSd = 1.482602218505602;  // 1 / the normal's upper quartile

struct SummaryScale {
    double Scale = 1;
    ScaleRule Rule = ScaleRule::Mad;
};

// A run faulted when one of its summaries is missing (not finite).
bool Faulted(std::span<const double> summaries);

// The scale of each column of `summaries` (one row per prior run), over the runs that did
// not fault. Every summary is Constant when no run is left.
std::vector<SummaryScale> SummaryScales(const Matrix &summaries);

// Each summary's deviation from the observed one, divided by its scale (0 for a constant
// summary); the distance is the Euclidean length of these deviations.
std::vector<double> ScaledDeviations(std::span<const double> summaries, std::span<const double> observed,
                                     std::span<const SummaryScale> scales);
// The distance of one run; not a number when it faulted.
double DistanceOf(std::span<const double> summaries, std::span<const double> observed,
                  std::span<const SummaryScale> scales);

// Refuses observed summaries that are not one per column, or not all finite.
void CheckObserved(std::span<const double> observed, std::size_t summaries);

// The prior runs of a study: one row per run, with its design point and its seed.
struct PriorRuns {
    Matrix Parameters;  // runs x factors, each on its own scale
    Matrix Summaries;   // runs x summaries; a missing one is not a number
    std::vector<std::int64_t> Points;
    std::vector<std::uint64_t> Seeds;
    std::vector<std::int64_t> Replicates;  // each run's replicate number, when known (else empty)
};

// One candidate of the rejection: a run, or the replicates of a point taken together.
struct CandidateId {
    std::size_t Row = 0;     // the (first) run's row in PriorRuns
    std::int64_t Point = 0;  // its design point
    std::uint64_t Seed = 0;  // the (first kept) run's seed
    std::size_t Runs = 1;    // the runs taken together
};

struct Candidates {
    Matrix Parameters;  // candidates x factors
    Matrix Deviations;  // candidates x summaries, scaled (ScaledDeviations)
    std::vector<double> Distances;
    std::vector<CandidateId> Ids;
    std::vector<SummaryScale> Scales;
    std::size_t FaultedRuns = 0;  // left out
};

// The candidates of the runs, against `observed`. Runs that faulted are left out and
// counted. With `averageReplicates`, the runs of one point (in the order their points
// first appear) make one candidate: its distance and deviations are the means over its
// runs that did not fault, its parameters those of its first run; a point whose runs
// all faulted is left out.
// A summary given a positive scale in `givenScales` (an observation's standard deviation)
// is divided by it rather than by its spread over the prior runs.
Candidates CandidatesOf(const PriorRuns &runs, std::span<const double> observed, bool averageReplicates,
                        std::span<const double> givenScales = {});

}  // namespace glebix::calibration
