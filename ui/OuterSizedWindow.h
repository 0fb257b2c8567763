// A top-level window placed and sized by its outer rectangle, frame included, which
// is how the program's windows are laid out (see PlaceWindow).
#pragma once

#include <QRect>
#include <QWidget>

namespace glebix {

class OuterSizedWindow : public QWidget {
    Q_OBJECT

public:
    explicit OuterSizedWindow(QWidget *parent = nullptr);

    // Places the window's frame at `outer` (position and size, frame included).
    void SetOuterGeometry(const QRect &outer);

    // Paints at once whatever of the window has changed since it was last painted.
    // The windows keep their pictures, so this is all a forced repaint has to do.
    void RepaintNow();

    // The current outer size, frame included.
    int OuterWidth() const { return frameGeometry().width(); }
    int OuterHeight() const { return frameGeometry().height(); }
};

}  // namespace glebix
