#include "ErrorBox.h"

#include <QApplication>
#include <QMessageBox>

#include "Errors.h"

namespace glebix {
namespace {
ErrorBoxHandler &Handler() {
    static ErrorBoxHandler handler;
    return handler;
}
}  // namespace

void ShowErrorBox(const std::string &message) {
    const std::string text = ErrorBoxText(message);
    if (Handler()) {
        Handler()(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Glebix"), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void SetErrorBoxHandler(ErrorBoxHandler handler) { Handler() = std::move(handler); }

}  // namespace glebix
