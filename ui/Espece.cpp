#include "Espece.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <utility>

#include "DialogControls.h"
#include "ErrorBox.h"
#include "Errors.h"
#include "FileChooser.h"
#include "SpeciesFile.h"
#include "WindowPlacement.h"

namespace glebix {

TForm5::TForm5(Simul &simul, QWidget *parent) : QWidget(parent), simul_(simul) {
    setObjectName(QStringLiteral("Form5"));
    SetUpWindow(this, QStringLiteral("Espèce"), 245, 129, 653, 543);
    SpeciesSettings &species = simul_.Settings.Species;

    MakeLabel(this, "Label7",
              QStringLiteral("Double cliquer sur un nom de fichier ou saisissez directement les paramètres"), 40, 32);
    MakeLabel(this, "Label1", QStringLiteral("Survie"), 112, 64);
    BindRealField(Edit1 = MakeEdit(this, "Edit1", 224, 64, 97), species.Survival);
    MakeLabel(this, "Label2", QStringLiteral("Fécondité"), 96, 88);
    BindRealField(Edit2 = MakeEdit(this, "Edit2", 224, 88, 97), species.Fecundity);
    MakeLabel(this, "Label4", QStringLiteral("Sensibilité de la disp à l'envt"), 16, 128);
    BindWholeField(Edit5 = MakeEdit(this, "Edit5", 224, 128, 97), species.DispersalSensitivity);
    MakeLabel(this, "Label12", QStringLiteral("Sigma de la distribution "), 16, 152);
    MakeLabel(this, "Label9", QStringLiteral("normale pour la dispertion "), 16, 176);
    BindRealField(Edit6 = MakeEdit(this, "Edit6", 224, 160, 97), species.DispersalSigma);
    MakeLabel(this, "Label11", QStringLiteral("Compaction :"), 40, 200);
    MakeLabel(this, "Label3", QStringLiteral("C"), 152, 200);
    BindRealField(Edit4 = MakeEdit(this, "Edit4", 224, 200, 97), species.CompactionC);
    MakeLabel(this, "Label5", QStringLiteral("Sensibilité de la mortalité "), 16, 232);
    MakeLabel(this, "Label6", QStringLiteral("à l'environnement : Alpha"), 16, 248);
    BindRealField(Edit3 = MakeEdit(this, "Edit3", 224, 240, 97), species.MortalityAlpha);

    BindCheckBox(CheckBox1 = MakeCheckBox(this, "CheckBox1", QStringLiteral("Survie"), 16, 320),
                 species.SurvivalEnvSensitive);
    BindCheckBox(CheckBox2 = MakeCheckBox(this, "CheckBox2", QStringLiteral("Fécondité"), 16, 352),
                 species.FecundityEnvSensitive);
    MakeLabel(this, "Label8", QStringLiteral("Sensibilité  aux variations "), 224, 336);
    MakeLabel(this, "Label10", QStringLiteral("du milieu physique"), 224, 352);
    BindCheckBox(CheckBox3 = MakeCheckBox(this, "CheckBox3", QStringLiteral("Dispersion puis mortalité"), 8, 440),
                 species.DispersalFirst);
    MakeLabel(this, "Label13", QStringLiteral("Ordre des processus "), 224, 440);
    MakeLabel(this, "Label14", QStringLiteral("au cours d'un pas de temps"), 224, 456);

    Chooser =
        new FileChooser(this, QPoint(336, 88), QPoint(336, 120), QSize(121, 201), QPoint(464, 120), QSize(161, 201));
    connect(Chooser, &FileChooser::FileDblClick, this, &TForm5::FileListBox1DblClick);

    MakeOkButton(this, 488, 384);
}

void TForm5::FileListBox1DblClick() {
    const QString path = Chooser->SelectedFilePath();
    if (path.isEmpty()) return;
    SpeciesFileContents contents;
    try {
        contents = ReadSpeciesFile(QFile::encodeName(path).toStdString());
    } catch (const GlebixError &error) {
        ShowErrorBox(error);
        return;
    }
    hide();
    // The fields write their texts into the settings as they change.
    ApplySpeciesFile(contents, simul_.Settings.Species);
    Edit1->setText(QString::fromStdString(contents.Species.Survival));
    Edit2->setText(QString::fromStdString(contents.Species.Fecundity));
    Edit4->setText(QString::fromStdString(contents.Species.CompactionC));
    Edit3->setText(QString::fromStdString(contents.Species.MortalityAlpha));
    Edit5->setText(QString::fromStdString(contents.Species.DispersalSensitivity));
    Edit6->setText(QString::fromStdString(contents.Species.DispersalSigma));
    // The run uses the texts shown; where one rounds the file's value, say so.
    const std::pair<QLineEdit *, int> shownValues[] = {{Edit1, 0}, {Edit2, 1}, {Edit4, 5}, {Edit3, 7}, {Edit6, 9}};
    for (const auto &[edit, index] : shownValues) ShowFileValue(edit, contents.Values[index]);
    ShowAndRaise(this);
    repaint();
}

}  // namespace glebix
