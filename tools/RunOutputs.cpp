#include "RunOutputs.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cerrno>
#include <charconv>
#include <cmath>

#include "Conversions.h"
#include "DensityMapImage.h"
#include "Errors.h"
#include "Simul.h"
#include "StudyTable.h"

namespace glebix::batch {

namespace {

void AppendInteger(std::string &out, std::int64_t v) {
    char text[24];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    out.append(text, end);
}

}  // namespace

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

std::string DensityMapPng(const TPlot &plot) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!RenderDensityMap(plot).save(&buffer, "PNG")) throw GlebixError("Erreur E/S " + std::to_string(EIO));
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// ---- ESRI ASCII grids --------------------------------------------------------

namespace {

template <typename Cell>
std::string AscGrid(Cell cell) {
    const std::string side = std::to_string(GridSide);
    std::string out = "ncols " + side + "\nnrows " + side + "\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
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

std::string DensityAsc(const TPlot &plot) {
    return AscGrid([&plot](std::string &out, int i, int j) { AppendInteger(out, plot.Density[i][j]); });
}

std::string CompactedAsc(const TPlot &plot) {
    return AscGrid([&plot](std::string &out, int i, int j) { out += FormatShortest(plot.Env[i][j].Compacted); });
}

// ---- Summary -----------------------------------------------------------------

std::string SummaryCsv(const std::vector<StepSeries> &runs) { return SummaryHeader({}, false) + SummaryRows("", runs); }

}  // namespace glebix::batch
