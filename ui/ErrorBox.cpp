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

std::unique_ptr<QMessageBox> MakeErrorBox(const std::string &message, const std::string &details, QWidget *parent) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("Glebix"),
                                             QString::fromStdString(ErrorBoxText(message)), QMessageBox::Ok, parent);
    if (!details.empty()) box->setDetailedText(QString::fromStdString(details));
    return box;
}

void ShowErrorBox(const std::string &message, const std::string &details) {
    if (Handler()) {
        Handler()(ErrorBoxText(message), details);
        return;
    }
    MakeErrorBox(message, details, QApplication::activeWindow())->exec();
}

void ShowErrorBox(const GlebixError &error) { ShowErrorBox(error.what(), DescribeContext(error.Context())); }

void SetErrorBoxHandler(ErrorBoxHandler handler) { Handler() = std::move(handler); }

}  // namespace glebix
