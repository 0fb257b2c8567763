// The plot window "La parcelle": the step number and the colour map of the densities
// of the 50 x 50 cells, one 7 x 7 square per cell. The map is drawn into an image of
// the window's own, so covering or minimising the window does not erase it.
// Hovering a square shows what its cell holds in the live plot; clicking it makes it
// the chart cell of the next run; the context menu saves the picture or the grids.
#pragma once

#include <QImage>
#include <cstdint>

#include "Outputs.h"
#include "OuterSizedWindow.h"
#include "Simul.h"

class QAction;
class QLineEdit;
class QMenu;

namespace glebix {

class TForm2 : public OuterSizedWindow {
    Q_OBJECT

public:
    explicit TForm2(Simul &simul, QWidget *parent = nullptr);

    // Shows `step` in the step field, in plain decimal form.
    void ShowStepNumber(std::int32_t step);
    // Redraws all cells from the live plot's counts, then updates the window at once.
    void DrawDensityMap();
    // Paints cell (i, j), each from 1 to 50, in the colour of count n.
    void DrawDensityCell(std::int32_t i, std::int32_t j, std::int32_t n);

    // What the window shows below its controls, in client coordinates.
    const QImage &Picture() const { return picture_; }

    // The tooltip at client point `pos`: "Ligne i, colonne j : N individus ; tassé x % ;
    // décompacté y %" from the live plot, marked when the cell is the next run's chart
    // cell; empty outside the map.
    QString CellToolTip(QPoint pos) const;
    // Writes row i and column j into the chart cell texts of the settings, which the
    // next run takes, and tells the outputs dialog to show them.
    void ChooseChartCell(std::int32_t i, std::int32_t j);

    // The context menu's actions: each opens a file dialog that does not block.
    void SaveImageAs();    // the picture as it stands, as PNG
    void ExportGridsAs();  // density.asc and compacted.asc of the live plot, into a directory

    QLineEdit *Edit1;  // the step number
    QMenu *MapMenu;    // the context menu
    QAction *SaveImageAction;
    QAction *ExportGridsAction;

signals:
    void ChartCellChosen(int i, int j);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    std::int64_t MapBottom() const { return std::int64_t{OuterHeight()} - MapBottomMargin; }

    Simul &simul_;
    QImage picture_;              // the map as drawn so far, the size of the client area
    int pictureOuterHeight_ = 0;  // the outer height the picture was drawn for
};

}  // namespace glebix
