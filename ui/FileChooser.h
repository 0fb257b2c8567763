// The file chooser of the dialogs: three linked controls placed on a form, a selector
// of mount points, a directory list and a file list showing every file of the
// directory open in the directory list. It starts in the working directory.
#pragma once

#include <QListWidget>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

class QComboBox;

namespace glebix {

// The entries of the drive selector: the root paths of the mounted volumes (ready
// and valid ones, each once), the root of the open directory's volume, sorted. A
// system that reports no mount point (a chroot, a sandbox) still gets "/".
QStringList DriveRoots(const QStringList &mountedRoots, const QString &currentRoot);

// A list that reports every double-click, on an entry or not.
class ChooserListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ChooserListBox(QWidget *parent = nullptr);

signals:
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

class FileChooser : public QObject {
    Q_OBJECT
public:
    // Creates the three controls on `form`: the mount point selector at `drive`, the
    // directory list at `directories` and the file list at `files`.
    FileChooser(QWidget *form, QPoint drive, QPoint directories, QSize directoriesSize, QPoint files, QSize filesSize);

    // The directory open in the directory list, absolute, without a trailing "/"
    // except for the root.
    QString Directory() const { return directory_; }
    // Opens `path` in the directory list and lists its files; an unreadable or
    // missing directory leaves everything as it is.
    void OpenDirectory(const QString &path);
    // The full path of the selected file (directory, "/" unless the directory ends
    // with one, file name), or an empty text when no file is selected.
    QString SelectedFilePath() const;

    QComboBox *DriveComboBox1;
    ChooserListBox *DirectoryListBox1;
    ChooserListBox *FileListBox1;

signals:
    // A double-click in the directory list, with the directory open before the
    // double-clicked entry is opened.
    void DirectoryDblClick(const QString &directory);
    // A double-click in the file list.
    void FileDblClick();

private:
    void DirectoryListDblClick();
    void FillDriveSelector();

    QString directory_;
};

}  // namespace glebix
