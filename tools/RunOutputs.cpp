#include "RunOutputs.h"

#include <QImage>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <new>

#include "Conversions.h"
#include "PngFile.h"
#include "Errors.h"
#include "MapPicture.h"
#include "Simul.h"
#include "StudyTable.h"

namespace glebix::batch {

// ---- Trace -------------------------------------------------------------------

std::string TraceHeader(bool emigrants) { return StepColumns(emigrants) + "\n"; }

std::string TraceRow(std::int32_t step, const Simul &simul, bool emigrants) {
    std::string row;
    AppendStepValues(row, step, RecordStep(simul), emigrants);
    row += '\n';
    return row;
}

// ---- Density map -------------------------------------------------------------

std::string DensityMapPng(const TPlot &plot, std::int32_t step) {
    const QImage image = MapPictureOf(plot, step);
    if (image.isNull()) throw std::bad_alloc();
    // Encoded here rather than by QImage::save, whose locks a failed allocation inside
    // Qt could leave taken for good.
    return EncodePng(reinterpret_cast<const std::uint32_t *>(image.constBits()), image.width(), image.height(),
                     image.bytesPerLine() / static_cast<qsizetype>(sizeof(std::uint32_t)));
}

// ---- Summary -----------------------------------------------------------------

std::string SummaryCsv(const std::vector<StepSeries> &runs) { return SummaryHeader({}, false) + SummaryRows("", runs); }

}  // namespace glebix::batch
