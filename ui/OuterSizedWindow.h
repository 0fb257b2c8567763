// A top-level window placed and sized by its outer rectangle, frame included, which
// is how the program's windows are laid out. Qt positions a top-level window by its
// frame but sizes it by its client area, and the frame is known only once the window
// system has decorated the window; so the client is first given the whole outer size
// and is shrunk by the frame once, when the frame first becomes known. Without a frame
// (an X server without a window manager) outer and client size are the same.
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

protected:
    bool event(QEvent *event) override;

private:
    void FitClientToFrame();

    QRect requestedOuter_;     // the outer rectangle asked for
    bool frameFitted_ = false;  // the client was shrunk by the frame already
};

}  // namespace glebix
