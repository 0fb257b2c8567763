// Driving the windows' export dialogs in tests: the dialog a window opened last is
// accepted with a chosen path, as a user would.
#pragma once

#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace glebix::testing {

// The export dialog that `window` opened last, or null.
inline QFileDialog *OpenExportDialog(const QWidget &window) {
    const auto dialogs = window.findChildren<QFileDialog *>(QStringLiteral("ExportDialog"));
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        if ((*it)->isVisible()) return *it;
    return nullptr;
}

// Accepts the export dialog that `window` opened last with `path` (a file that does
// not exist yet, or an existing directory). False when no dialog is open.
inline bool AcceptExportDialog(const QWidget &window, const QString &path) {
    QPointer<QFileDialog> dialog = OpenExportDialog(window);
    if (!dialog) return false;
    // A directory is chosen by opening it; a file by typing its name.
    if (dialog->fileMode() == QFileDialog::Directory)
        dialog->setDirectory(path);
    else
        dialog->selectFile(path);
    static_cast<QDialog *>(dialog.data())->accept();  // public in QDialog, the dialog's own check runs
    return true;
}

}  // namespace glebix::testing
