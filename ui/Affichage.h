// The plot window "La parcelle": the step number and the colour map of the densities
// of the 50 x 50 cells, one 7 x 7 square per cell. The map is drawn into an image of
// the window's own, so covering or minimising the window does not erase it.
#pragma once

#include <QImage>
#include <cstdint>

#include "OuterSizedWindow.h"
#include "Simul.h"

class QLineEdit;

namespace glebix {

class TForm2 : public OuterSizedWindow {
    Q_OBJECT

public:
    explicit TForm2(Simul &simul = TheSimul(), QWidget *parent = nullptr);

    // Shows `step` in the step field, in plain decimal form.
    void ShowStepNumber(std::int32_t step);
    // Redraws all cells from the live plot's counts, then updates the window at once.
    void DrawDensityMap();
    // Paints cell (i, j), each from 1 to 50, in the colour of count n.
    void DrawDensityCell(std::int32_t i, std::int32_t j, std::int32_t n);

    // What the window shows below its controls, in client coordinates.
    const QImage &Picture() const { return picture_; }

    QLineEdit *Edit1;  // the step number

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    Simul &simul_;
    QImage picture_;              // the map as drawn so far, the size of the client area
    int pictureOuterHeight_ = 0;  // the outer height the picture was drawn for
};

}  // namespace glebix
