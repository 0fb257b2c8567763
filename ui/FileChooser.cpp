#include "FileChooser.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QStorageInfo>

namespace glebix {
namespace {

constexpr int IndentPerLevel = 2;  // blanks per level of the directory tree
constexpr int PathRole = Qt::UserRole;

QListWidgetItem *DirectoryItem(const QString &name, const QString &path, int level) {
    auto *item = new QListWidgetItem(QString(level * IndentPerLevel, QLatin1Char(' ')) + name);
    item->setData(PathRole, path);
    return item;
}

}  // namespace

ChooserListBox::ChooserListBox(QWidget *parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void ChooserListBox::mouseDoubleClickEvent(QMouseEvent *event) {
    QListWidget::mouseDoubleClickEvent(event);
    emit DblClick();
}

FileChooser::FileChooser(QWidget *form, QPoint drive, QPoint directories, QSize directoriesSize, QPoint files,
                         QSize filesSize)
    : QObject(form),
      DriveComboBox1(new QComboBox(form)),
      DirectoryListBox1(new ChooserListBox(form)),
      FileListBox1(new ChooserListBox(form)) {
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(QRect(drive, QSize(directoriesSize.width(), DriveComboBox1->sizeHint().height())));
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(QRect(directories, directoriesSize));
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setGeometry(QRect(files, filesSize));

    connect(DirectoryListBox1, &ChooserListBox::DblClick, this, &FileChooser::DirectoryListDblClick);
    connect(FileListBox1, &ChooserListBox::DblClick, this, &FileChooser::FileDblClick);
    connect(DriveComboBox1, &QComboBox::activated, this,
            [this](int index) { OpenDirectory(DriveComboBox1->itemData(index).toString()); });

    OpenDirectory(QDir::currentPath());
}

void FileChooser::OpenDirectory(const QString &path) {
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable()) return;
    directory_ = QDir::cleanPath(info.absoluteFilePath());
    const QDir dir(directory_);

    // The directory list: the open directory's ancestors from the root, the open
    // directory itself (selected), then its subdirectories.
    DirectoryListBox1->clear();
    QStringList parts = directory_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString ancestor = QStringLiteral("/");
    DirectoryListBox1->addItem(DirectoryItem(ancestor, ancestor, 0));
    for (int level = 0; level < parts.size(); ++level) {
        ancestor = (level == 0 ? QStringLiteral("/") : ancestor + QLatin1Char('/')) + parts[level];
        DirectoryListBox1->addItem(DirectoryItem(parts[level], ancestor, level + 1));
    }
    QListWidgetItem *open = DirectoryListBox1->item(DirectoryListBox1->count() - 1);
    QFont bold = open->font();
    bold.setBold(true);
    open->setFont(bold);
    DirectoryListBox1->setCurrentItem(open);
    const QString prefix = directory_.endsWith(QLatin1Char('/')) ? directory_ : directory_ + QLatin1Char('/');
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name))
        DirectoryListBox1->addItem(DirectoryItem(name, prefix + name, parts.size() + 1));

    // The file list: every file of the open directory, none selected.
    FileListBox1->clear();
    FileListBox1->addItems(dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name));

    FillDriveSelector();
}

QString FileChooser::SelectedFilePath() const {
    const QList<QListWidgetItem *> selected = FileListBox1->selectedItems();
    if (selected.isEmpty()) return QString();
    const QString name = selected.first()->text();
    return directory_.endsWith(QLatin1Char('/')) ? directory_ + name : directory_ + QLatin1Char('/') + name;
}

void FileChooser::DirectoryListDblClick() {
    // The handler sees the directory open before the double-clicked entry is opened.
    const QString before = directory_;
    const QListWidgetItem *entry = DirectoryListBox1->currentItem();
    const QString target = entry ? entry->data(PathRole).toString() : QString();
    emit DirectoryDblClick(before);
    if (!target.isEmpty() && target != directory_) OpenDirectory(target);
}

QStringList DriveRoots(const QStringList &mountedRoots, const QString &currentRoot) {
    QStringList roots;
    for (const QString &root : mountedRoots)
        if (!root.isEmpty() && !roots.contains(root)) roots << root;
    if (!currentRoot.isEmpty() && !roots.contains(currentRoot)) roots << currentRoot;
    if (roots.isEmpty()) roots << QStringLiteral("/");
    roots.sort();
    return roots;
}

void FileChooser::FillDriveSelector() {
    QStringList mounted;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady()) mounted << volume.rootPath();
    const QString current = QStorageInfo(directory_).rootPath();
    const QStringList roots = DriveRoots(mounted, current);
    const QSignalBlocker blocker(DriveComboBox1);
    DriveComboBox1->clear();
    for (const QString &root : roots) DriveComboBox1->addItem(root, root);
    // Without a known volume the root stands for it.
    const int index = roots.indexOf(current);
    DriveComboBox1->setCurrentIndex(index >= 0 ? index : roots.indexOf(QStringLiteral("/")));
}

}  // namespace glebix
