#include "SessionWriters.h"

#include <algorithm>

#include "Errors.h"
#include "FileIo.h"
#include "GridOutputs.h"
#include "ResultFile.h"
#include "Simul.h"

namespace glebix::core {

std::string WriteResultFile(RunSession &run, const std::string &directory) {
    run.RefuseInputClash("--out", directory);
    run.SetResultDirectory(directory);
    const std::string path = run.ResultFilePath();
    try {
        PrepareOutputFile(path);
        WriteResultFileAt(path, run.Plot());
    } catch (GlebixError &e) {
        if (e.Context().Path.empty()) e.Context().Path = path;
        throw;
    }
    return path;
}

void StageResultFile(const RunSession &run, StagedFiles &files) {
    constexpr std::size_t BlockBytes = std::size_t{1} << 20;
    const TPlot &plot = run.Plot();
    const int rowsPerBlock = static_cast<int>(
        std::max<std::size_t>(1, BlockBytes / (ResultLineBytes * static_cast<std::size_t>(plot.Height))));
    LineWriter writer;
    files.OpenLines(run.ResultFilePath(), writer);
    std::string block;
    for (int first = 0; first < plot.Width; first += rowsPerBlock) {
        block.clear();
        AppendResultRows(block, plot, first, std::min(plot.Width, first + rowsPerBlock));
        writer.Write(block);
    }
    writer.Close();
}

std::vector<std::string> WriteAscGrids(const RunSession &run, const std::string &directory) {
    run.RefuseInputClash("--asc", directory);
    return WriteFinalGrids(run.Engine(), run.Description().Georeference, directory);
}

std::vector<std::string> WriteTifGrids(const RunSession &run, const std::string &directory) {
    run.RefuseInputClash("--tif", directory);
    return gis::WriteTifGrids(run.Engine(), run.Description().Georeference, directory);
}

void StageTifGrids(const RunSession &run, const std::string &directory, StagedFiles &files, std::int32_t step) {
    gis::StageTifGrids(run.Engine(), run.Description().Georeference, directory, files, step);
}

void WriteNetcdfRecord(const RunSession &run, const std::string &path, int deflateLevel) {
    run.RefuseInputClash("--netcdf", path);
    const RunDescription &described = run.Description();
    gis::WriteNetcdfNow(path, run.Engine(), described.Georeference, described.Seed, run.StepIndex(), deflateLevel);
}

}  // namespace glebix::core
