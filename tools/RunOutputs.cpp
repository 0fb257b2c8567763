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
#include "Simul.h"

namespace glebix::batch {

namespace {

void AppendInteger(std::string &out, std::int64_t v) {
    char text[24];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    out.append(text, end);
}

}  // namespace

// ---- Trace -------------------------------------------------------------------

std::string TraceHeader() {
    return "step,cell_density,cell_compacted,cell_decompacted,mean_density,mean_compacted,total_density\n";
}

std::int64_t TotalCount(const TPlot &plot) {
    std::int64_t sum = 0;
    for (const auto &row : plot.Density)
        for (std::int32_t n : row) sum += n;
    return sum;
}

std::string TraceRow(std::int32_t step, const Simul &simul) {
    const TPlot &plot = simul.Plot;
    const int i = simul.ChartCellX - 1, j = simul.ChartCellY - 1;
    std::string row;
    AppendInteger(row, step);
    row += ',';
    AppendInteger(row, plot.Density[i][j]);
    row += ',';
    row += FormatShortest(plot.Env[i][j].Compacted);
    row += ',';
    row += FormatShortest(plot.Env[i][j].Decompacted);
    row += ',';
    row += FormatShortest(MeanDensity(plot));
    row += ',';
    row += FormatShortest(MeanCompacted(plot));
    row += ',';
    AppendInteger(row, TotalCount(plot));
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
    const QImage image = RenderDensityMap(plot);
    if (image.isNull()) throw std::bad_alloc();
    // Encoded here rather than by QImage::save, whose locks a failed allocation inside
    // Qt could leave taken for good.
    return EncodePng(reinterpret_cast<const std::uint32_t *>(image.constBits()), image.width(), image.height(),
                     image.bytesPerLine() / static_cast<qsizetype>(sizeof(std::uint32_t)));
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

namespace {

// Mean and sample standard deviation, two-pass, in the order given.
void AppendMeanAndDeviation(std::string &out, const std::vector<double> &values) {
    double sum = 0;
    for (double v : values) sum += v;
    const double mean = sum / static_cast<double>(values.size());
    out += FormatShortest(mean);
    out += ',';
    if (values.size() < 2) {
        out += "NA";
        return;
    }
    double squares = 0;
    for (double v : values) squares += (v - mean) * (v - mean);
    out += FormatShortest(std::sqrt(squares / static_cast<double>(values.size() - 1)));
}

}  // namespace

std::string SummaryCsv(const std::vector<StepSeries> &runs) {
    std::string out = "step,runs,total_density_mean,total_density_sd,mean_compacted_mean,mean_compacted_sd\n";
    std::size_t longest = 0;
    for (const StepSeries &r : runs) longest = std::max(longest, r.Totals.size());
    std::vector<double> totals, compacted;
    for (std::size_t s = 0; s < longest; ++s) {
        totals.clear();
        compacted.clear();
        for (const StepSeries &r : runs) {
            if (s < r.Totals.size()) {
                totals.push_back(static_cast<double>(r.Totals[s]));
                compacted.push_back(r.MeanCompacted[s]);
            }
        }
        AppendInteger(out, static_cast<std::int64_t>(s + 1));
        out += ',';
        AppendInteger(out, static_cast<std::int64_t>(totals.size()));
        out += ',';
        AppendMeanAndDeviation(out, totals);
        out += ',';
        AppendMeanAndDeviation(out, compacted);
        out += '\n';
    }
    return out;
}

}  // namespace glebix::batch
