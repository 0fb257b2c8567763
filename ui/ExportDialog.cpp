#include "ExportDialog.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <cerrno>

#include "AtomicFile.h"
#include "ErrorBox.h"
#include "Errors.h"

namespace glebix {
namespace {

// The directory the next dialog opens in: the last one used, at first the working
// directory.
QString &LastDirectory() {
    static QString directory;
    return directory;
}

QFileDialog *OpenDialog(QWidget *window, const QString &caption, QFileDialog::FileMode mode, ExportWriter write) {
    if (LastDirectory().isEmpty()) LastDirectory() = QDir::currentPath();
    auto *dialog = new QFileDialog(window, caption, LastDirectory());
    dialog->setObjectName(QStringLiteral("ExportDialog"));
    // The toolkit's own dialog: a native one may run an event loop of its own.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    dialog->setFileMode(mode);
    if (mode == QFileDialog::Directory) {
        dialog->setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
    }
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [dialog, write](const QString &path) {
        LastDirectory() = dialog->directory().absolutePath();
        try {
            write(QFile::encodeName(path).toStdString());
        } catch (const GlebixError &error) { ShowErrorBox(error); }
    });
    dialog->show();
    return dialog;
}

}  // namespace

QFileDialog *AskExportFile(QWidget *window, const QString &caption, const QString &suggestedName, const QString &suffix,
                           ExportWriter write) {
    QFileDialog *dialog = OpenDialog(window, caption, QFileDialog::AnyFile, std::move(write));
    dialog->setDefaultSuffix(suffix);
    dialog->selectFile(suggestedName);
    return dialog;
}

QFileDialog *AskExportDirectory(QWidget *window, const QString &caption, ExportWriter write) {
    return OpenDialog(window, caption, QFileDialog::Directory, std::move(write));
}

void WritePng(const std::string &path, const QImage &image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        ErrorContext context;
        context.Path = path;
        throw GlebixError(IoErrorMessage(EIO, path), context);
    }
    WriteFileAtomically(path, std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace glebix
