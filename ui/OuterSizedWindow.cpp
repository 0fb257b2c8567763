#include "OuterSizedWindow.h"

#include <QCoreApplication>
#include <QEvent>

#include "WindowPlacement.h"

namespace glebix {

OuterSizedWindow::OuterSizedWindow(QWidget *parent) : QWidget(parent) {}

void OuterSizedWindow::SetOuterGeometry(const QRect &outer) {
    PlaceWindow(this, outer.x(), outer.y(), outer.width(), outer.height());
}

void OuterSizedWindow::RepaintNow() {
    // Changed areas are painted when the window's pending update request is handled.
    QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);
}

}  // namespace glebix
