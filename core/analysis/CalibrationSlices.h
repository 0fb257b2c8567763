// A calibration's batch of runs (the prior's sample, one batch of an abc-smc
// generation) made by the tasks of a job array: each task makes one slice's share of the
// batch (the contiguous shares of SliceBounds) and writes its runs' summaries to a slice
// file in the calibration's folder; the gathering takes the batch's summaries back from
// the slice files, refusing any that does not belong. A slice file is text, one record a
// line, numbers in shortest round-trip form, so that the gathered summaries are those the
// runs gave to the last bit:
//   glebix-calibration-slice VERSION
//   generation G             (from 1: the prior's sample)
//   batch B                  (from 1 within its generation)
//   points SHA256            (of the batch's runs: values, seed, point, replicate, and
//                             what their summaries are)
//   slice I N
//   runs TOTAL FIRST COUNT   (the batch's runs; this slice's share)
//   run V1 V2 ...            (COUNT lines; a run that faulted has no value)
//   sha256 SHA256            (of every line above)
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CalibrationStudy.h"
#include "PointSelection.h"

namespace glebix::analysis {

inline constexpr std::size_t CalibrationSliceVersion = 1;

// Which batch of a calibration: its generation and its place in it, and the digest of
// its runs and of what they give (`what`: their steps and summaries), which tells it from
// a batch of another calibration at the same place.
struct CalibrationBatchId {
    std::size_t Generation = 1, Batch = 1;
    std::string Points;
};
std::string CalibrationBatchDigest(const std::vector<CalibrationRun> &runs, std::string_view what);

struct CalibrationSlice {
    CalibrationBatchId Batch;
    core::Slice Slice;
    std::size_t Runs = 0, First = 0;             // the batch's runs; the first of this slice's share
    std::vector<std::vector<double>> Summaries;  // of the share's runs; none for a run that faulted
};

// "calibration-slice-gG-bB-IofN.txt".
std::string CalibrationSliceFileName(const CalibrationBatchId &batch, const core::Slice &slice);
bool IsCalibrationSliceFileName(std::string_view name);
std::string CalibrationSliceText(const CalibrationSlice &slice);
// Refuses (a GlebixError naming `source`) a text cut short, malformed or edited.
CalibrationSlice ReadCalibrationSlice(std::string_view text, const std::string &source);

// The batch's summaries from the slice files of `folder`, one per run in the batch's
// order; or the problems (in the user's language, each naming its file) of slice files
// of this batch's place but of another batch, of another slice count, duplicated,
// corrupt, or of slices missing. `None` is set when no slice file of the batch is there
// (no problem then). Slice files of other places are not looked at beyond their header.
struct GatheredBatch {
    std::vector<std::vector<double>> Summaries;
    std::vector<std::string> Problems;
    bool None = false;
};
GatheredBatch GatherCalibrationSlices(const std::string &folder, const CalibrationBatchId &batch, std::size_t runs);

// The refusal (in the user's language) to write `slice` where its file holds an intact
// slice of another batch, which stays; nothing when its place is free, holds the same
// slice, or a file that is no intact slice.
std::optional<std::string> CalibrationSliceNotReplaced(const std::string &folder, const CalibrationSlice &slice);
// Writes the slice file into `folder` at once or not at all; its path.
std::string WriteCalibrationSlice(const std::string &folder, const CalibrationSlice &slice);

// The batches of the generation in progress that a gathering has taken, kept in
// `folder` (one line "GENERATION BATCH POINTS" each) so that the slices of the next batch
// take them as the gathering did; none after the generation is kept.
inline constexpr const char *GatheredBatchesFileName = "calibration-gathered.txt";
bool IsGatheredCalibrationBatch(const std::string &folder, const CalibrationBatchId &batch);
void KeepGatheredCalibrationBatches(const std::string &folder, const std::vector<CalibrationBatchId> &batches);

// Removes the slice files of `folder` of generations up to `generation` (0: all), and the
// list of the gathered batches.
void RemoveCalibrationSlices(const std::string &folder, std::size_t generation);

}  // namespace glebix::analysis
