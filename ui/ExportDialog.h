// The file dialogs of the windows' exports. They do not block: a run goes on while
// one is open, and the export is written when the user accepts it. Writes are atomic,
// and a failure shows the error box with its cause.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QFileDialog;
class QImage;
class QWidget;

namespace glebix {

// Writes what an export holds to the chosen path (a file, or a directory for a
// directory dialog); raises GlebixError on failure.
using ExportWriter = std::function<void(const std::string &path)>;

// Opens a save dialog over `window` suggesting `suggestedName` (with `suffix` added
// when the user types none) and runs `write` on the chosen path. Returns the dialog,
// which deletes itself when closed.
QFileDialog *AskExportFile(QWidget *window, const QString &caption, const QString &suggestedName, const QString &suffix,
                           ExportWriter write);
// The same for a directory, into which `write` puts its files.
QFileDialog *AskExportDirectory(QWidget *window, const QString &caption, ExportWriter write);

// Writes `image` as a PNG file, atomically; raises GlebixError on failure.
void WritePng(const std::string &path, const QImage &image);

}  // namespace glebix
