#include "OuterSizedWindow.h"

#include <QCoreApplication>
#include <QEvent>

namespace glebix {

OuterSizedWindow::OuterSizedWindow(QWidget *parent) : QWidget(parent) {}

void OuterSizedWindow::SetOuterGeometry(const QRect &outer) {
    requestedOuter_ = outer;
    frameFitted_ = false;
    move(outer.topLeft());
    resize(outer.size());
    FitClientToFrame();
}

void OuterSizedWindow::RepaintNow() {
    // Changed areas are painted when the window's pending update request is handled.
    QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);
}

bool OuterSizedWindow::event(QEvent *event) {
    const bool handled = QWidget::event(event);
    // The window manager reports the frame after mapping the window, with a move.
    if (event->type() == QEvent::Show || event->type() == QEvent::Move) FitClientToFrame();
    return handled;
}

void OuterSizedWindow::FitClientToFrame() {
    if (frameFitted_ || requestedOuter_.isNull()) return;
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    if (frameExtra.width() <= 0 && frameExtra.height() <= 0) return;  // no frame known yet
    frameFitted_ = true;
    resize(requestedOuter_.size() - frameExtra);
    move(requestedOuter_.topLeft());
}

}  // namespace glebix
