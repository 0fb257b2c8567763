#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "DialogChecks.h"
#include "FileChooser.h"
#include "Sauvegarde.h"

using namespace glebix;
using namespace glebix::testing;

class TestTForm7 : public QObject {
    Q_OBJECT
private slots:
    void init() {
        simul = std::make_unique<Simul>();
        form = std::make_unique<TForm7>(*simul);
        QVERIFY(dir.isValid());
        root = QDir(dir.path()).absolutePath();
        QVERIFY(QDir(root).mkdir(QStringLiteral("sub")));
        QFile file(root + QStringLiteral("/b.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QFile other(root + QStringLiteral("/a.txt"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
    }
    void cleanup() {
        form.reset();
        simul.reset();
        QDir(root + QStringLiteral("/sub")).removeRecursively();
        QFile::remove(root + QStringLiteral("/a.txt"));
        QFile::remove(root + QStringLiteral("/b.txt"));
    }

    void window() { CheckWindow(*form, QStringLiteral("Sauvegarde"), {228, 224}, {339, 349}, false); }

    void controls_data() {
        AddControlColumns();
        AddControl("DriveComboBox1", {24, 24});
        AddControl("DirectoryListBox1", {24, 64});
        AddControl("FileListBox1", {163, 64});
        AddControl("Label1", {24, 192}, QStringLiteral("Fichier de sauvegarde"));
        AddControl("Edit1", {40, 216}, QStringLiteral(""));
        AddControl("CheckBox1", {24, 248}, QStringLiteral("Sauvegarde"), 0);
        AddControl("Button1", {216, 248}, QStringLiteral("OK"));
    }
    void controls() { CheckControl(*form); }

    void chooserStartsInTheWorkingDirectory() {
        QCOMPARE(form->Chooser->Directory(), QDir::currentPath());
        QVERIFY(form->Chooser->FileListBox1->selectedItems().isEmpty());
        QVERIFY(form->Chooser->DriveComboBox1->count() >= 1);
    }

    void chooserListsEveryFileAndTheTree() {
        form->Chooser->OpenDirectory(root);
        QListWidget *files = form->Chooser->FileListBox1;
        QCOMPARE(files->count(), 2);
        QCOMPARE(files->item(0)->text(), QStringLiteral("a.txt"));
        QCOMPARE(files->item(1)->text(), QStringLiteral("b.txt"));
        QListWidget *dirs = form->Chooser->DirectoryListBox1;
        QCOMPARE(dirs->item(0)->text(), QStringLiteral("/"));
        QCOMPARE(dirs->item(dirs->count() - 1)->text().trimmed(), QStringLiteral("sub"));
    }

    // The field gets the directory open before the double-click; the list then opens
    // the entry double-clicked, and a double-click on the open directory leaves the
    // list where it is.
    void directoryChoiceTakesTheDirectoryOpenBefore() {
        form->Chooser->OpenDirectory(root);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QListWidget *dirs = form->Chooser->DirectoryListBox1;
        QListWidgetItem *sub = dirs->item(dirs->count() - 1);
        QTest::mouseDClick(dirs->viewport(), Qt::LeftButton, {}, dirs->visualItemRect(sub).center());
        QCOMPARE(form->Edit1->text(), root);
        QCOMPARE(simul->Settings.Run.ResultDirectory, QFile::encodeName(root).toStdString());
        const QString subPath = root + QStringLiteral("/sub");
        QCOMPARE(form->Chooser->Directory(), subPath);
        QCOMPARE(form->Chooser->FileListBox1->count(), 0);

        QListWidgetItem *open = dirs->currentItem();
        QTest::mouseDClick(dirs->viewport(), Qt::LeftButton, {}, dirs->visualItemRect(open).center());
        QCOMPARE(form->Edit1->text(), subPath);
        QCOMPARE(form->Chooser->Directory(), subPath);
    }

    // A double-click on a file puts the file's path into the directory field.
    void fileChoiceWithAndWithoutSelection() {
        form->Chooser->OpenDirectory(root);
        form->Chooser->FileListBox1->setCurrentRow(1);
        form->FileChoice();
        QCOMPARE(form->Edit1->text(), root + QStringLiteral("/b.txt"));
        form->Chooser->FileListBox1->clearSelection();
        form->FileChoice();
        QCOMPARE(form->Edit1->text(), QString());
        QCOMPARE(simul->Settings.Run.ResultDirectory, std::string());
    }

    void fileChoiceInTheRootAddsNoSeparator() {
        form->Chooser->OpenDirectory(QStringLiteral("/"));
        QListWidget *files = form->Chooser->FileListBox1;
        if (files->count() == 0) QSKIP("no file in the root directory");
        files->setCurrentRow(0);
        form->FileChoice();
        QCOMPARE(form->Edit1->text(), QStringLiteral("/") + files->item(0)->text());
    }

    void missingDirectoryChangesNothing() {
        form->Chooser->OpenDirectory(root);
        form->Chooser->OpenDirectory(root + QStringLiteral("/absent"));
        QCOMPARE(form->Chooser->Directory(), root);
        QCOMPARE(form->Chooser->FileListBox1->count(), 2);
    }

    // The drive selector lists each mounted root once, sorted; a system that reports
    // none still offers "/".
    void driveRoots_data() {
        QTest::addColumn<QStringList>("mounted");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("roots");
        QTest::newRow("none reported") << QStringList{} << QString() << QStringList{"/"};
        QTest::newRow("only the current") << QStringList{} << "/" << QStringList{"/"};
        QTest::newRow("several, twice") << QStringList{"/home", "/", "/home", ""} << "/home"
                                        << QStringList{"/", "/home"};
        QTest::newRow("current not mounted") << QStringList{"/"} << "/mnt" << QStringList{"/", "/mnt"};
    }
    void driveRoots() {
        QFETCH(QStringList, mounted);
        QFETCH(QString, current);
        QFETCH(QStringList, roots);
        QCOMPARE(DriveRoots(mounted, current), roots);
    }
    void driveSelectorIsNeverEmpty() { QVERIFY(form->Chooser->DriveComboBox1->count() >= 1); }

    // A result file written into the directory the list shows appears in it; one
    // written elsewhere leaves the list as it is.
    void resultFileWrittenRefreshesTheList() {
        form->Chooser->OpenDirectory(root);
        QFile result(root + QStringLiteral("/RireVed1a1p1.txt"));
        QVERIFY(result.open(QIODevice::WriteOnly));
        result.close();
        QCOMPARE(form->Chooser->FileListBox1->count(), 2);
        form->ResultFileWritten(root + QStringLiteral("/sub/RireVed1a1p1.txt"));
        QCOMPARE(form->Chooser->FileListBox1->count(), 2);
        form->ResultFileWritten(root + QStringLiteral("/sub/../RireVed1a1p1.txt"));
        QCOMPARE(form->Chooser->FileListBox1->count(), 3);
        QVERIFY(QFile::remove(result.fileName()));
    }

    void checkBoxSetsSaving() {
        form->CheckBox1->click();
        QCOMPARE(simul->Settings.Run.SaveResults, true);
        form->CheckBox1->click();
        QCOMPARE(simul->Settings.Run.SaveResults, false);
    }

private:
    QTemporaryDir dir;
    QString root;
    std::unique_ptr<Simul> simul;
    std::unique_ptr<TForm7> form;
};

QTEST_MAIN(TestTForm7)
#include "tst_sauvegarde.moc"
