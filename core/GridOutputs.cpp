#include "GridOutputs.h"

#include "Conversions.h"
#include "Errors.h"
#include "FileIo.h"
#include "GeoTiffGrids.h"
#include "Georeference.h"
#include "Simul.h"
#include "StudyTable.h"

namespace glebix::batch {

namespace {

template <typename Cell>
std::string AscGrid(const TPlot &plot, const GridPlacement &placement, Cell cell) {
    std::string out = AsciiGridHeader(placement, {plot.Width, plot.Height});
    out.reserve(out.size() + static_cast<std::size_t>(plot.Cells()) * 8);
    for (int j = plot.Height; j >= 1; --j) {
        for (int i = 1; i <= plot.Width; ++i) {
            if (i > 1) out += ' ';
            cell(out, i - 1, j - 1);
        }
        out += '\n';
    }
    return out;
}

}  // namespace

std::string DensityAsc(const TPlot &plot, const GridPlacement &placement) {
    return AscGrid(plot, placement,
                   [&plot](std::string &out, int i, int j) { AppendInteger(out, plot.Density[i][j]); });
}

std::string CompactedAsc(const TPlot &plot, const GridPlacement &placement) {
    return AscGrid(plot, placement,
                   [&plot](std::string &out, int i, int j) { AppendShortest(out, plot.Env[i][j].Compacted); });
}

void StageFinalGrids(const Simul &simul, const std::string &folder, StagedFiles &files) {
    const GridPlacement placement = simul.InputGridPlacement.value_or(GridPlacement{});
    files.Write(Join(folder, DensityGridName), DensityAsc(simul.Plot, placement));
    files.Write(Join(folder, CompactedGridName), CompactedAsc(simul.Plot, placement));
    gis::StagePrjFiles(simul, {Join(folder, DensityGridName), Join(folder, CompactedGridName)}, files);
}

std::vector<std::string> WriteFinalGrids(const Simul &simul, const std::string &folder) {
    for (const char *name : {DensityGridName, CompactedGridName}) {
        PrepareOutputFile(Join(folder, name));
        PrepareOutputFile(gis::PrjPathOf(Join(folder, name)));
    }
    StagedFiles files;
    StageFinalGrids(simul, folder, files);
    if (std::string problem = files.PutAllInPlace(); !problem.empty()) throw GlebixError(problem);
    return files.Paths();
}

}  // namespace glebix::batch
