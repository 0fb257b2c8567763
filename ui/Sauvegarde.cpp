#include "Sauvegarde.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "DialogControls.h"
#include "FileChooser.h"
#include "WindowPlacement.h"

namespace glebix {

TForm7::TForm7(Simul &simul, QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form7"));
    SetUpWindow(this, QStringLiteral("Sauvegarde"), 228, 224, 339, 349);
    RunSettings &run = simul.Settings.Run;

    Chooser = new FileChooser(this, QPoint(24, 24), QPoint(24, 64), QSize(129, 121), QPoint(163, 64), QSize(145, 121));
    connect(Chooser, &FileChooser::DirectoryDblClick, this, &TForm7::DirectoryChoice);
    connect(Chooser, &FileChooser::FileDblClick, this, &TForm7::FileChoice);
    MakeLabel(this, "Label1", QStringLiteral("Fichier de sauvegarde"), 24, 192);
    BindPathField(Edit1 = MakeEdit(this, "Edit1", 40, 216, 265), run.ResultDirectory);
    BindCheckBox(CheckBox1 = MakeCheckBox(this, "CheckBox1", QStringLiteral("Sauvegarde"), 24, 248), run.SaveResults);
    MakeOkButton(this, 216, 248);
}

void TForm7::DirectoryChoice(const QString &directory) { Edit1->setText(directory); }

void TForm7::FileChoice() { Edit1->setText(Chooser->SelectedFilePath()); }

void TForm7::ResultFileWritten(const QString &path) {
    const QString written = QFileInfo(path).absoluteDir().canonicalPath();
    if (!written.isEmpty() && written == QDir(Chooser->Directory()).canonicalPath())
        Chooser->OpenDirectory(Chooser->Directory());
}

}  // namespace glebix
