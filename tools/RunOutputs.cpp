#include "RunOutputs.h"

#include <QImage>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <new>

#include "Conversions.h"
#include "DensityMapImage.h"
#include "PngFile.h"
#include "Errors.h"
#include "MapPicture.h"
#include "Simul.h"
#include "StudyTable.h"

namespace glebix::batch {

// ---- Trace -------------------------------------------------------------------

std::string TraceHeader() { return StepColumns() + "\n"; }

std::string TraceRow(std::int32_t step, const Simul &simul) {
    std::string row;
    AppendStepValues(row, step, RecordStep(simul));
    row += '\n';
    return row;
}

// ---- Density map -------------------------------------------------------------

QImage RenderDensityMap(const TPlot &plot) {
    QImage image(SnapshotWidth, SnapshotHeight, QImage::Format_RGB32);
    image.fill(qRgb(SnapshotBackground.r, SnapshotBackground.g, SnapshotBackground.b));
    for (int j = 1; j <= GridSide; ++j)
        for (int i = 1; i <= GridSide; ++i)
            PaintDensityCell(image, i, j, plot.Density[i - 1][j - 1], SnapshotMapBottom);
    return image;
}

std::string DensityMapPng(const TPlot &plot, std::int32_t step) {
    const QImage image = MapPictureOf(plot, step);
    if (image.isNull()) throw std::bad_alloc();
    // Encoded here rather than by QImage::save, whose locks a failed allocation inside
    // Qt could leave taken for good.
    return EncodePng(reinterpret_cast<const std::uint32_t *>(image.constBits()), image.width(), image.height(),
                     image.bytesPerLine() / static_cast<qsizetype>(sizeof(std::uint32_t)));
}

// ---- ESRI ASCII grids --------------------------------------------------------

namespace {

template <typename Cell>
std::string AscGrid(const GridPlacement &placement, Cell cell) {
    std::string out = AsciiGridHeader(placement);
    out.reserve(out.size() + CellCount * 8);
    for (int j = GridSide; j >= 1; --j) {
        for (int i = 1; i <= GridSide; ++i) {
            if (i > 1) out += ' ';
            cell(out, i - 1, j - 1);
        }
        out += '\n';
    }
    return out;
}

}  // namespace

std::string DensityAsc(const TPlot &plot, const GridPlacement &placement) {
    return AscGrid(placement, [&plot](std::string &out, int i, int j) { AppendInteger(out, plot.Density[i][j]); });
}

std::string CompactedAsc(const TPlot &plot, const GridPlacement &placement) {
    return AscGrid(placement,
                   [&plot](std::string &out, int i, int j) { out += FormatShortest(plot.Env[i][j].Compacted); });
}

// ---- Summary -----------------------------------------------------------------

std::string SummaryCsv(const std::vector<StepSeries> &runs) { return SummaryHeader({}, false) + SummaryRows("", runs); }

}  // namespace glebix::batch
