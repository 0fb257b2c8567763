#include <memory>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPalette>
#include <QTemporaryDir>
#include <QTest>

#include "DialogChecks.h"
#include "DialogControls.h"
#include "ErrorBox.h"
#include "Espece.h"
#include "FileChooser.h"

using namespace glebix;
using namespace glebix::testing;

namespace {

// The six field texts in the order Edit1, Edit2, Edit4, Edit3, Edit5, Edit6.
QStringList FieldTexts(const TForm5 &form) {
    return {form.Edit1->text(), form.Edit2->text(), form.Edit4->text(),
            form.Edit3->text(), form.Edit5->text(), form.Edit6->text()};
}

const QStringList LoadedDefaults = {"0.4", "2.0", " 3.01000000000000E-0001", " 1.00000000000000E+0000", "0", "0.5"};

}  // namespace

class TestTForm5 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        SetErrorBoxHandler(
            [this](const std::string &text, const std::string &) { errors << QString::fromStdString(text); });
    }
    void cleanupTestCase() { SetErrorBoxHandler({}); }
    void init() {
        simul = std::make_unique<Simul>();
        form = std::make_unique<TForm5>(*simul);
        errors.clear();
    }
    void cleanup() {
        form.reset();
        simul.reset();
    }

    void window() { CheckWindow(*form, QStringLiteral("Espèce"), {245, 129}, {653, 543}, false); }

    void controls_data() {
        AddControlColumns();
        AddControl("Label7", {40, 32},
                   QStringLiteral("Double cliquer sur un nom de fichier ou saisissez directement les paramètres"));
        AddControl("Label1", {112, 64}, QStringLiteral("Survie"));
        AddControl("Edit1", {224, 64}, QStringLiteral("0.4"));
        AddControl("Label2", {96, 88}, QStringLiteral("Fécondité"));
        AddControl("Edit2", {224, 88}, QStringLiteral("2"));
        AddControl("Label4", {16, 128}, QStringLiteral("Sensibilité de la disp à l'envt"));
        AddControl("Edit5", {224, 128}, QStringLiteral("0"));
        AddControl("Label12", {16, 152}, QStringLiteral("Sigma de la distribution "));
        AddControl("Label9", {16, 176}, QStringLiteral("normale pour la dispertion "));
        AddControl("Edit6", {224, 160}, QStringLiteral("0.5"));
        AddControl("Label11", {40, 200}, QStringLiteral("Compaction :"));
        AddControl("Label3", {152, 200}, QStringLiteral("C"));
        AddControl("Edit4", {224, 200}, QStringLiteral("0.301"));
        AddControl("Label5", {16, 232}, QStringLiteral("Sensibilité de la mortalité "));
        AddControl("Label6", {16, 248}, QStringLiteral("à l'environnement : Alpha"));
        AddControl("Edit3", {224, 240}, QStringLiteral("1"));
        AddControl("CheckBox1", {16, 320}, QStringLiteral("Survie"), 1);
        AddControl("CheckBox2", {16, 352}, QStringLiteral("Fécondité"), 0);
        AddControl("Label8", {224, 336}, QStringLiteral("Sensibilité  aux variations "));
        AddControl("Label10", {224, 352}, QStringLiteral("du milieu physique"));
        AddControl("CheckBox3", {8, 440}, QStringLiteral("Dispersion puis mortalité"), 0);
        AddControl("Label13", {224, 440}, QStringLiteral("Ordre des processus "));
        AddControl("Label14", {224, 456}, QStringLiteral("au cours d'un pas de temps"));
        AddControl("DriveComboBox1", {336, 88});
        AddControl("DirectoryListBox1", {336, 120});
        AddControl("FileListBox1", {464, 120});
        AddControl("Button1", {488, 384}, QStringLiteral("OK"));
    }
    void controls() { CheckControl(*form); }

    // Boxes clicked in order (by their number) and the three flags they leave.
    void checkBoxesFollowTheirFlags_data() {
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<bool>("survival");
        QTest::addColumn<bool>("fecundity");
        QTest::addColumn<bool>("dispersalFirst");
        QTest::newRow("none") << "" << true << false << false;
        QTest::newRow("survival off") << "1" << false << false << false;
        QTest::newRow("survival off and on") << "11" << true << false << false;
        QTest::newRow("fecundity on") << "2" << true << true << false;
        QTest::newRow("dispersal first") << "3" << true << false << true;
        QTest::newRow("all") << "123" << false << true << true;
    }
    void checkBoxesFollowTheirFlags() {
        QFETCH(QString, clicks);
        QFETCH(bool, survival);
        QFETCH(bool, fecundity);
        QFETCH(bool, dispersalFirst);
        QCheckBox *byNumber[] = {nullptr, form->CheckBox1, form->CheckBox2, form->CheckBox3};
        for (QChar c : clicks) byNumber[c.digitValue()]->click();
        const SpeciesSettings &species = simul->Settings.Species;
        QCOMPARE(species.SurvivalEnvSensitive, survival);
        QCOMPARE(species.FecundityEnvSensitive, fecundity);
        QCOMPARE(species.DispersalFirst, dispersalFirst);
        QCOMPARE(form->CheckBox1->isChecked(), survival);
    }

    // Texts typed reach the settings and count at the next set-up only.
    void typedValuesCountAtTheNextSetUp() {
        form->Edit1->selectAll();
        QTest::keyClicks(form->Edit1, "0.7");
        QCOMPARE(simul->Settings.Species.Survival, std::string("0.7"));
        simul->SetUpRun(1u);
        QCOMPARE(simul->Species.Survival, 0.7);
        form->Edit1->setText(QStringLiteral("0,9"));
        QCOMPARE(simul->Species.Survival, 0.7);
        simul->SetUpRun(1u);
        QCOMPARE(simul->Species.Survival, 0.0);
    }

    // Loading a species file: its content, the texts and shape it leaves, or the
    // error box text (then nothing changes).
    void speciesFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("shape");
        QTest::addColumn<QString>("error");
        QTest::newRow("one line") << QByteArray("0.4 2 2 0 0 0.301 0 1 0 0.5\r\n") << LoadedDefaults << 2 << "";
        QTest::newRow("one per line") << QByteArray("0.4\n2\n2\n0\n0\n0.301\n0\n1\n0\n0.5\n") << LoadedDefaults << 2
                                      << "";
        QTest::newRow("eleventh value and later lines ignored")
            << QByteArray("0.4 2 2 0 0 0.301 0 1 0 0.5 7 x\n1 1 1 bad\n") << LoadedDefaults << 2 << "";
        QTest::newRow("one decimal shown")
            << QByteArray("0.123\t3 1 0.5 1.5 2e-1 9 -2.5 12 1.26")
            << QStringList{"0.1", "3.0", " 2.00000000000000E-0001", "-2.50000000000000E+0000", "12", "1.3"} << 1 << "";
        QTest::newRow("empty file") << QByteArray()
                                    << QStringList{"0.0", "0.0", " 0.00000000000000E+0000", " 0.00000000000000E+0000",
                                                   "0",   "0.0"}
                                    << 0 << "";
        QTest::newRow("short file") << QByteArray("0.4 2\n")
                                    << QStringList{"0.4", "2.0", " 0.00000000000000E+0000", " 0.00000000000000E+0000",
                                                   "0",   "0.0"}
                                    << 0 << "";
        QTest::newRow("code 26 ends the file")
            << QByteArray("0.4 2 1 0 0 0.301 0 1 3\x1a 0.5")
            << QStringList{"0.4", "2.0", " 3.01000000000000E-0001", " 1.00000000000000E+0000", "3", "0.0"} << 1 << "";
        QTest::newRow("control characters as blanks") << QByteArray(
                                                             "0.4\t2\v2\f0\x01"
                                                             "0\0"
                                                             "0.301\x1f"
                                                             "0 1 0 0.5",
                                                             27)
                                                      << LoadedDefaults << 2 << "";
        // A real is cut after 64 characters and a whole number after 32; the rest of
        // the run is the next value.
        QTest::newRow("long real cut") << QByteArray("0.4" + QByteArray(61, '0') + "2 2 0 0 0.301 0 1 0 0.5")
                                       << LoadedDefaults << 2 << "";
        QTest::newRow("long whole number cut")
            << QByteArray("0.4 2 " + QByteArray(32, '0') + "1 0 0.301 0 1 0 0.5") << LoadedDefaults << 0 << "";
        QTest::newRow("2.0 as the shape")
            << QByteArray("0.4 2 2.0 0 0 0.301 0 1 0 0.5") << QStringList() << -1 << "Saisie numérique incorrecte.";
        QTest::newRow("decimal comma") << QByteArray("0,4 2 2 0 0 0.301 0 1 0 0.5") << QStringList() << -1
                                       << "Saisie numérique incorrecte.";
        QTest::newRow("shape outside 0 to 2")
            << QByteArray("0.4 2 3 0 0 0.301 0 1 0 0.5") << QStringList() << -1
            << "Forme de la réponse au milieu inconnue dans le fichier : 3 (valeurs admises : 0, 1 ou 2)";
    }
    void speciesFile() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, texts);
        QFETCH(int, shape);
        QFETCH(QString, error);
        // Texts and a shape that no file case gives, to see what changes.
        const QStringList before = {"0.9", "5", "0.2", "3", "1", "2.5"};
        QLineEdit *edits[] = {form->Edit1, form->Edit2, form->Edit4, form->Edit3, form->Edit5, form->Edit6};
        for (int k = 0; k < 6; ++k) edits[k]->setText(before[k]);
        simul->Settings.Species.ResponseShape = 1;
        form->show();

        OpenWithFile(content);
        form->FileListBox1DblClick();

        if (!error.isEmpty()) {
            QCOMPARE(errors, QStringList{error});
            QCOMPARE(FieldTexts(*form), before);
            QCOMPARE(simul->Settings.Species.ResponseShape, 1);
            QCOMPARE(simul->Settings.Species.Survival, std::string("0.9"));
        } else {
            QVERIFY(errors.isEmpty());
            QCOMPARE(FieldTexts(*form), texts);
            QCOMPARE(simul->Settings.Species.ResponseShape, shape);
            QCOMPARE(simul->Settings.Species.Survival, texts[0].toStdString());
            QCOMPARE(simul->Settings.Species.DispersalSigma, texts[5].toStdString());
        }
        QVERIFY(form->isVisible());
    }

    // Values 4 and 5 set the response curve; the next run takes the texts shown.
    void loadedValuesReachTheNextRun() {
        OpenWithFile("0.123 3 1 0.5 1.5 0.2 9 2 1 1.26\n");
        form->FileListBox1DblClick();
        QCOMPARE(simul->Settings.Species.ResponseOptimum, 0.5);
        QCOMPARE(simul->Settings.Species.ResponseTolerance, 1.5);
        simul->SetUpRun(1u);
        QCOMPARE(simul->Species.Survival, 0.1);
        QCOMPARE(simul->Species.Fecundity, 3.0);
        QCOMPARE(simul->Species.ResponseShape, 1);
        QCOMPARE(simul->Species.CompactionC, 0.2);
        QCOMPARE(simul->Species.DispersalSigma, 1.3);
    }

    // A field whose text rounds the file's value is marked like a field read in part,
    // with both values; its text and what the run uses stay as shown. Typing clears it.
    void roundedFileValuesAreMarked() {
        OpenWithFile("0.45 2 2 0 0 0.301 0 1 0 0.5\n");
        form->FileListBox1DblClick();
        QCOMPARE(form->Edit1->text(), QStringLiteral("0.5"));
        QCOMPARE(simul->Settings.Species.Survival, std::string("0.5"));
        QCOMPARE(form->Edit1->toolTip(), QStringLiteral("Valeur du fichier : 0,45 ; valeur utilisée : 0,5"));
        QCOMPARE(form->Edit1->palette().color(QPalette::Base), FallbackFieldColour);
        for (QLineEdit *same : {form->Edit2, form->Edit4, form->Edit3, form->Edit5, form->Edit6}) {
            QVERIFY(same->toolTip().isEmpty());
            QVERIFY(same->palette().color(QPalette::Base) != FallbackFieldColour);
        }
        form->Edit1->setText(QStringLiteral("0.45"));
        QVERIFY(form->Edit1->toolTip().isEmpty());
        QVERIFY(form->Edit1->palette().color(QPalette::Base) != FallbackFieldColour);
    }

    // A failed load leaves a hidden dialog hidden; a good one shows it again.
    void visibilityAfterALoad() {
        OpenWithFile("0.4 2 2.0");
        form->FileListBox1DblClick();
        QVERIFY(!form->isVisible());
        OpenWithFile("0.4 2 2");
        form->FileListBox1DblClick();
        QVERIFY(form->isVisible());
    }

    void missingFileIsReported() {
        OpenWithFile("0.4 2 2");
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("espece.txt"))));
        form->FileListBox1DblClick();
        QCOMPARE(errors, QStringList{QStringLiteral("Fichier introuvable.")});
        QCOMPARE(form->Edit1->text(), QStringLiteral("0.4"));
        QCOMPARE(simul->Settings.Species.ResponseShape, 2);
    }

    void noSelectionDoesNothing() {
        OpenWithFile("0.9 2 1");
        form->Chooser->FileListBox1->clearSelection();
        form->FileListBox1DblClick();
        QVERIFY(errors.isEmpty());
        QCOMPARE(form->Edit1->text(), QStringLiteral("0.4"));
        QVERIFY(!form->isVisible());
    }

    // The real gesture: a double-click on the file name loads it.
    void doubleClickOnAFileLoadsIt() {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        OpenWithFile("0.6 4 0 1 2 0.301 0 1 2 0.5");
        form->Chooser->FileListBox1->clearSelection();
        QListWidget *files = form->Chooser->FileListBox1;
        QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(files->item(0)).center());
        QCOMPARE(form->Edit1->text(), QStringLiteral("0.6"));
        QCOMPARE(form->Edit5->text(), QStringLiteral("2"));
        QCOMPARE(simul->Settings.Species.ResponseShape, 0);
        QVERIFY(form->isVisible());
    }

private:
    // Writes the species file, opens its directory in the chooser and selects it.
    void OpenWithFile(const QByteArray &content) {
        QFile file(dir.filePath(QStringLiteral("espece.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        form->Chooser->OpenDirectory(dir.path());
        QCOMPARE(form->Chooser->FileListBox1->count(), 1);
        form->Chooser->FileListBox1->setCurrentRow(0);
    }

    QTemporaryDir dir;
    QStringList errors;
    std::unique_ptr<Simul> simul;
    std::unique_ptr<TForm5> form;
};

QTEST_MAIN(TestTForm5)
#include "tst_espece.moc"
