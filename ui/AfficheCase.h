// The chart window "Une case": the history of one cell (count, compacted and
// decompacted shares) and of the plot means, as small markers against the step, over
// two plain axes. Markers are drawn into an image of the window's own and kept until
// the window is hidden by the program or resized; the axes are drawn again whenever
// the window is shown or activated. The values of every step drawn are kept too,
// until the next run starts, for the context menu's CSV export.
#pragma once

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "OuterSizedWindow.h"
#include "Simul.h"

class QAction;
class QMenu;

namespace glebix {

// The values of one step as the chart draws them, before scaling.
struct ChartSample {
    std::int32_t Step;
    std::int32_t Count;
    double CellCompacted;
    double CellDecompacted;
    double MeanCount;
    double MeanCompacted;
};

// The CSV of the chart's series: one row per step drawn, under the column names of the
// batch tool's trace; reals in shortest round-trip form.
std::string ChartSeriesCsv(const std::vector<ChartSample> &series);

class TForm3 : public OuterSizedWindow {
    Q_OBJECT

public:
    explicit TForm3(Simul &simul, QWidget *parent = nullptr);

    // Draws the step axis and the value axis for the current outer size.
    void AffAxes();
    // Adds the markers of one step for the chart cell and the plot means.
    void PlotCellStep(std::int32_t step);
    // Draws the five 2 x 2 markers of one step, in series order.
    void DrawChartMarkers(std::int32_t step, std::int32_t count, double cellCompacted, double cellDecompacted,
                          double meanCount, double meanCompacted);

    // What the window shows, in client coordinates.
    const QImage &Picture() const { return picture_; }
    // The steps drawn since the run started, in drawing order.
    const std::vector<ChartSample> &Series() const { return series_; }

    // The context menu's actions: each opens a file dialog that does not block.
    void SaveImageAs();     // the picture as it stands, as PNG
    void ExportSeriesAs();  // the series as they stand, as CSV

    QMenu *ChartMenu;  // the context menu
    QAction *SaveImageAction;
    QAction *ExportSeriesAction;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void ClearPicture();
    // Sets the pixel (x, y) when it lies in the picture.
    void PutPixel(std::int64_t x, std::int64_t y, QRgb colour);

    Simul &simul_;
    QImage picture_;                   // axes and markers, the size of the client area
    std::vector<ChartSample> series_;  // one entry per call of DrawChartMarkers
};

}  // namespace glebix
