#include "WindowPlacement.h"

#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QMargins>
#include <QWidget>
#include <QWindow>

namespace glebix {
namespace {

// Keeps the outer size of a window while the window system has not changed the frame.
class OuterSizeKeeper : public QObject {
public:
    OuterSizeKeeper(QWidget *window, QSize outer) : QObject(window), window_(window), outer_(outer) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == window_ && (event->type() == QEvent::Show || event->type() == QEvent::Move)) Fit();
        return false;
    }

private:
    void Fit() {
        const QWindow *handle = window_->windowHandle();
        if (!handle) return;
        const QMargins margins = handle->frameMargins();
        if (margins == applied_) return;
        applied_ = margins;
        window_->resize(outer_.width() - margins.left() - margins.right(),
                        outer_.height() - margins.top() - margins.bottom());
    }

    QWidget *window_;
    QSize outer_;
    QMargins applied_;  // frame margins the client size was last fitted to
};

}  // namespace

void PlaceWindow(QWidget *window, int left, int top, int width, int height) {
    window->move(left, top);  // the position of a window is that of its frame
    window->resize(width, height);
    window->installEventFilter(new OuterSizeKeeper(window, QSize(width, height)));
}

void SetUpWindow(QWidget *window, const QString &caption, int left, int top, int width, int height) {
    window->setWindowTitle(caption);
    window->setAttribute(Qt::WA_QuitOnClose, false);
    // The controls sit at fixed positions, some 16 pixels apart: text of 11 pixels
    // keeps neighbouring captions clear of each other.
    QFont font = window->font();
    font.setPixelSize(11);
    window->setFont(font);
    PlaceWindow(window, left, top, width, height);
}

void ShowInFront(QWidget *window) {
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    // The offscreen platform has no stacking and warns at every raise.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) window->raise();
}

void ShowAndRaise(QWidget *window) {
    ShowInFront(window);
    window->activateWindow();
}

}  // namespace glebix
