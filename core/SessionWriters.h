// The outputs of a session's present state written at once, whole: the result file,
// the grids as ESRI ASCII and as GeoTIFF, and a NetCDF file of one record. Each is the
// same bytes as the batch tool's output of that kind, and each first refuses a place
// where it would overwrite a file the run reads (RunSession::RefuseInputClash).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GeoTiffGrids.h"
#include "NetcdfStack.h"
#include "RunSession.h"

namespace glebix::core {

class StagedFiles;

// Writes the result file into `directory`, created when missing; returns its path.
// The engine's result folder is then `directory` until the next set-up takes the
// run's own again.
std::string WriteResultFile(RunSession &run, const std::string &directory);
// Stages the result file at RunSession::ResultFilePath, a block of rows at a time so
// that a large plot's file is never held whole.
void StageResultFile(const RunSession &run, StagedFiles &files);

// The present grids in `directory`, placed where the initial grid lay; their paths.
std::vector<std::string> WriteAscGrids(const RunSession &run, const std::string &directory);
std::vector<std::string> WriteTifGrids(const RunSession &run, const std::string &directory);
// The grids of recorded step `step` (gis::TifGridNameAt), or the final ones.
void StageTifGrids(const RunSession &run, const std::string &directory, StagedFiles &files,
                   std::int32_t step = gis::FinalTifStep);

// The present grids as a NetCDF file of one record.
void WriteNetcdfRecord(const RunSession &run, const std::string &path, int deflateLevel = gis::DefaultDeflateLevel);

}  // namespace glebix::core
