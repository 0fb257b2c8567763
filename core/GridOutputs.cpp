#include "GridOutputs.h"

#include <functional>
#include <string_view>

#include "Conversions.h"
#include "Errors.h"
#include "FileIo.h"
#include "GeoTiffGrids.h"
#include "Georeference.h"
#include "Simul.h"
#include "StudyTable.h"

namespace glebix::core {

namespace {

// Lines of a grid handed on at once: about a megabyte, so that a large plot's grid is
// never held whole.
constexpr std::size_t BlockBytes = std::size_t{1} << 20;

using AppendCell = void (*)(std::string &out, const TPlot &plot, int i, int j);

void AppendCount(std::string &out, const TPlot &plot, int i, int j) { AppendInteger(out, plot.Density[i][j]); }

void AppendCompacted(std::string &out, const TPlot &plot, int i, int j) {
    AppendShortest(out, plot.Env[i][j].Compacted);
}

// The grid's text, its header then its lines from the top (column index Height) down,
// handed to `take` a block of lines at a time. With a habitat mask, the cells off the
// habitat hold the nodata value that the header then gives.
void AscGrid(const TPlot &plot, const GridPlacement &placement, AppendCell cell,
             const std::function<void(std::string_view)> &take) {
    std::string out = AsciiGridHeader(placement, {plot.Width, plot.Height});
    const bool masked = plot.Habitat.Size() > 0;
    std::string noData;
    AppendInteger(noData, AscNoData);
    if (masked) out += "NODATA_value " + noData + "\n";
    for (int j = plot.Height; j >= 1; --j) {
        for (int i = 1; i <= plot.Width; ++i) {
            if (i > 1) out += ' ';
            if (masked && !plot.Habitat[i - 1][j - 1])
                out += noData;
            else
                cell(out, plot, i - 1, j - 1);
        }
        out += '\n';
        if (out.size() >= BlockBytes || j == 1) {
            take(out);
            out.clear();
        }
    }
}

std::string AscText(const TPlot &plot, const GridPlacement &placement, AppendCell cell) {
    std::string text;
    AscGrid(plot, placement, cell, [&text](std::string_view block) { text += block; });
    return text;
}

void StageAscGrid(const std::string &path, const TPlot &plot, const GridPlacement &placement, AppendCell cell,
                  StagedFiles &files) {
    LineWriter writer;
    files.OpenLines(path, writer);
    AscGrid(plot, placement, cell, [&writer](std::string_view block) { writer.Write(block); });
    writer.Close();
}

}  // namespace

std::string DensityAsc(const TPlot &plot, const GridPlacement &placement) {
    return AscText(plot, placement, &AppendCount);
}

std::string CompactedAsc(const TPlot &plot, const GridPlacement &placement) {
    return AscText(plot, placement, &AppendCompacted);
}

void StageFinalGrids(const Simul &simul, const gis::Georeference &where, const std::string &folder,
                     StagedFiles &files) {
    StageAscGrid(Join(folder, DensityGridName), simul.Plot, where.Placement, &AppendCount, files);
    StageAscGrid(Join(folder, CompactedGridName), simul.Plot, where.Placement, &AppendCompacted, files);
    gis::StagePrjFiles(where, {Join(folder, DensityGridName), Join(folder, CompactedGridName)}, files);
}

std::vector<std::string> WriteFinalGrids(const Simul &simul, const gis::Georeference &where,
                                         const std::string &folder) {
    for (const char *name : {DensityGridName, CompactedGridName}) {
        PrepareOutputFile(Join(folder, name));
        PrepareOutputFile(gis::PrjPathOf(Join(folder, name)));
    }
    StagedFiles files;
    StageFinalGrids(simul, where, folder, files);
    if (std::string problem = files.PutAllInPlace(); !problem.empty()) throw GlebixError(problem);
    return files.Paths();
}

}  // namespace glebix::core
