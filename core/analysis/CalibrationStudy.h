// Calibration of Glebix by approximate Bayesian computation, as every front end asks for
// it: the prior is a factors file (Factors.h), the observations a file
// `step,metric,value[,sd]` of metrics the core defines, and the runs go through the
// core's study runner. Also the rejection on an existing table of runs, of any model.
// Each checks everything before it runs or writes, and writes posterior.csv,
// posterior-summary.csv and manifest.json into its folder, each atomically.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "AbcTables.h"
#include "CalibrationFigureData.h"
#include "GridObservations.h"
#include "InputFile.h"
#include "PointSelection.h"
#include "SensitivityFiles.h"
#include "Settings.h"

namespace glebix::analysis {

enum class CalibrationMethod { Rejection, Smc };
// "abc-rejection", "abc-smc".
std::optional<CalibrationMethod> CalibrationMethodNamed(std::string_view name);
std::string_view CalibrationMethodName(CalibrationMethod method);

// How abc-rejection places its N prior points on the factors' unit cube (Sampling.h):
// a Latin hypercube or a shifted Sobol' sequence cover it more evenly than independent
// uniform draws, for the same runs.
enum class PriorSample { Lhs, Sobol, Uniform };
inline constexpr PriorSample DefaultPriorSample = PriorSample::Lhs;
// "lhs", "sobol", "uniform".
std::optional<PriorSample> PriorSampleNamed(std::string_view name);
std::string_view PriorSampleName(PriorSample sample);

inline constexpr const char *PosteriorFileName = "posterior.csv";
inline constexpr const char *PosteriorSummaryFileName = "posterior-summary.csv";
inline constexpr const char *CalibrationManifestName = "manifest.json";
// abc-smc's state at its last complete generation, kept in the folder until the end: the
// same calibration asked again goes on from it.
inline constexpr const char *SmcStateFileName = "abc-smc-state.txt";
inline constexpr double DefaultAcceptFraction = 0.1;

// Whether `name` is a metric an observation may name: a column of a run's step record
// (total_density, mean_compacted, ..., emigrants) or a run metric (RunMetrics.h).
bool IsObservableMetric(std::string_view name);

struct RunObservations {
    std::vector<calibration::Observation> Observations;
    std::vector<std::string> Problems;  // naming file, line and column; in the user's language
};
// Reads the observations of runs of `steps` steps. Refused besides the file's own faults
// (a missing column, a value or sd that is not a number): a metric the core does not
// know; a step column's metric without a whole step from 0 to `steps`; a run metric with
// a step (it is the run's whole). Steps are given back in decimal without sign or
// leading zeros.
RunObservations ReadRunObservations(std::string_view text, const std::string &source, std::int32_t steps);

// The summaries of one run, in the observations' order, from its rows as a study table
// holds them (a header, then one row per step); a missing value where a row lacks.
std::vector<double> RunSummaries(std::string_view runTable, std::span<const calibration::Observation> observations);

// Draws the calibration's figure as a picture file's bytes (the pictures module's, handed in by the
// front end); raises on a fault.
using CalibrationFigureDrawer = std::function<std::string(const core::CalibrationFigureData &)>;

// One run a calibration asks for: its point's values (each on its factor's own scale),
// its seed and its run number (the point's, then its replicate).
struct CalibrationRun {
    std::vector<double> Values;
    std::uint32_t Seed = 0;
    std::int64_t Point = 0;
    std::int64_t Replicate = 1;
};
// Each run's summaries in the runs' order, none for a run that faulted: how a front end
// makes a batch of runs (the prior sample, one abc-smc generation) where it likes, each
// through CalibrationRunSummaries. An exception of its own ends the calibration: a
// GlebixError as the outcome's WriteError, any other thrown on to Calibrate's caller.
using CalibrationBatchRunner = std::function<std::vector<std::vector<double>>(const std::vector<CalibrationRun> &)>;

struct CalibrationRequest {
    CalibrationMethod Method = CalibrationMethod::Rejection;
    std::string FactorsPath, ObservedPath, OutDir;
    // The species file whose values Settings holds, for the manifest's inputs; empty: none.
    std::string SpeciesPath;
    std::optional<std::vector<FactorRow>> FactorRows;  // given: the factors, FactorsPath unused
    int Samples = 0;                                   // runs of the prior (abc-rejection), the run budget (abc-smc)
    PriorSample Prior = DefaultPriorSample;            // abc-rejection's
    double Accept = DefaultAcceptFraction;
    int Replicates = 1;  // runs of each prior point, their distances averaged
    std::uint32_t Seed = 0;
    int Jobs = 0;        // runs at once; 0: one per processor
    TSettings Settings;  // of every run before the factors' values
    std::shared_ptr<const InputBytes> Inputs;
    std::vector<std::string> Arguments;    // for the manifest
    std::string Program = "glebix-batch";  // the front end, for the manifest
    // Asked between the runs' steps; true stops the calibration (abc-smc keeps its last
    // complete generation in the folder). Empty: never.
    std::function<bool()> Interrupted;
    // Observed grids, `[FIELD@]STEP:FILE` (GridObservations.h), compared as `GridCompare`.
    std::vector<std::string> ObservedGrids;
    GridCompare Compare = DefaultGridCompare;
    // The figure's file, written once the results are; empty: none.
    std::string FigurePath;
    CalibrationFigureDrawer DrawFigure;
    // Empty: the runs of each batch on this machine's threads (Jobs at once), Interrupted
    // asked between their steps; given, Interrupted is asked after each batch.
    CalibrationBatchRunner RunBatch;
    // Set: only this slice's share of the pending batch (the first one whose slice files
    // are not all in OutDir) is run, and written to a slice file there
    // (CalibrationSlices.h); the calibration does not advance.
    std::optional<core::Slice> Slice;
    // The pending batch's runs taken from its slice files in OutDir; the calibration goes
    // on as far as its slice files take it.
    bool Gather = false;
};

// What a calibration's runs are compared with: the observed series, then the observed
// grids' entries (GridEntries of each, as Compare takes them).
struct CalibrationTargets {
    std::vector<calibration::Observation> Series;
    std::vector<GridObservation> Grids;
    GridCompare Compare = DefaultGridCompare;
    std::size_t Size() const;
};

// What every run of a request needs, read as Calibrate reads it; the problems (in the
// user's language) instead when its factors, steps or observations have faults.
struct CalibrationRunInputs {
    std::vector<Factor> Factors;
    CalibrationTargets Targets;
    std::int32_t Steps = 0;
    std::vector<std::string> Problems;
};
CalibrationRunInputs CalibrationRunInputsOf(const CalibrationRequest &request);

// The summaries of one run of a calibration, in the targets' order, the same whichever
// machine or thread makes it; none when the run faulted.
std::vector<double> CalibrationRunSummaries(const CalibrationRequest &request, const std::vector<Factor> &factors,
                                            const CalibrationRun &run, const CalibrationTargets &targets,
                                            std::int32_t steps);

// A calibration as a binding asks for it, by named options: the method by name, the
// factors file (or rows, FactorsFromRows), the runs' steps apart from their settings.
struct CalibrationOptions {
    std::string Factors, Observed, Out;
    std::optional<std::vector<FactorRow>> FactorRows;  // given: the factors, Factors unused
    std::string Method = "abc-rejection";
    int Samples = 0;
    double Accept = DefaultAcceptFraction;
    int Replicates = 1;
    std::uint32_t Seed = 0;
    int Jobs = 0;
    std::int32_t Steps = 0;
    TSettings Settings;   // holding the species file's values first, when Species names one
    std::string Species;  // as CalibrationRequest's SpeciesPath
    std::string Program;
    std::vector<std::string> ObservedGrids;  // as TakeGridOptions takes them
    std::string GridCompare, Figure;
    std::string Prior;  // PriorSampleNamed; empty: DefaultPriorSample
};
// The request, or the problem (in the user's language) of an unknown method or grid
// comparison. The figure's drawer is the caller's to set.
std::variant<CalibrationRequest, std::string> CalibrationRequestOf(CalibrationOptions options);

// The observed grids, their comparison by name ("summaries", "cells"; empty: the
// default) and the figure's path, as every front end takes them; the refusal of an
// unknown comparison, in the user's language.
std::optional<std::string> TakeGridOptions(CalibrationRequest &request, std::vector<std::string> grids,
                                           const std::string &compare, std::string figure);

// Refuses, before any run: a factors file with faults or naming no setting, observations
// with faults, an accept fraction outside (0, 1], and a folder already holding a
// calibration's results (they stay). Runs faulted are counted, never accepted. An
// abc-smc whose folder holds its state (SmcStateFileName) goes on from it, refused when
// the state is of another calibration; its outcome is then the unbroken one's.
// Interrupted: nothing but that state written, and `*wasInterrupted` set.
// Observed grids with faults are refused too, read at the plot's size that a set-up of
// the request's settings gives. The figure, when asked, is written after the results;
// its fault is the outcome's WriteError, and the results stay.
FileOutcome Calibrate(const CalibrationRequest &request, bool *wasInterrupted = nullptr);

// How a calibration ended when its outcome has no problem and no write error: its results
// written; one slice of a batch written (Slice); a batch waiting for its slice files
// after the gathering kept what came before it (Gather); nothing left to run in slices
// (Slice: every batch has its slice files, the gathering is next). Interrupted when
// stopped by the request's Interrupted.
enum class CalibrationEnd { Written, SliceWritten, BatchPending, NothingToRun, Interrupted };
FileOutcome Calibrate(const CalibrationRequest &request, CalibrationEnd &end);

struct TableCalibrationRequest {
    std::string TablePath, FactorsPath, ObservedPath, OutDir;
    double Accept = DefaultAcceptFraction;
    std::vector<std::string> Arguments;
    std::string FigurePath;  // as CalibrationRequest's
    CalibrationFigureDrawer DrawFigure;
};
// The rejection with its adjustment on a table of runs (calibration::RunsOfTable).
FileOutcome CalibrateTableFiles(const TableCalibrationRequest &request);

}  // namespace glebix::analysis
