#include <memory>

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "DialogChecks.h"
#include "FileChooser.h"
#include "IniEnvt.h"

using namespace glebix;
using namespace glebix::testing;

class TestTForm8 : public QObject {
    Q_OBJECT
private slots:
    void init() {
        simul = std::make_unique<Simul>();
        form = std::make_unique<TForm8>(*simul);
    }
    void cleanup() {
        form.reset();
        simul.reset();
    }

    void window() {
        CheckWindow(*form, QStringLiteral("Intitilisation du milieu physique"), {245, 223}, {670, 391}, false);
    }

    void controls_data() {
        AddControlColumns();
        AddControl("RadioButton1", {16, 32}, QStringLiteral("Charger l'environement initial :"), 0);
        AddControl("RadioButton3", {16, 64}, QStringLiteral("Environnement aléatoire sans structure"), 1);
        AddControl("Label4", {24, 104}, QStringLiteral("Moyenne"));
        AddControl("Edit2", {104, 104}, QStringLiteral("33"));
        AddControl("Label5", {176, 104}, QStringLiteral("Variabilité"));
        AddControl("Edit3", {248, 104}, QStringLiteral("10"));
        AddControl("RadioButton2", {16, 128}, QStringLiteral("Environement homogène"), 0);
        AddControl("Label3", {24, 160}, QStringLiteral("Constante 1"));
        AddControl("Edit1", {112, 160}, QStringLiteral("20"));
        AddControl("Label6", {168, 160}, QStringLiteral("Constante 2"));
        AddControl("Edit5", {256, 160}, QStringLiteral("40"));
        AddControl("Label7", {368, 16}, QStringLiteral("Double cliquer sur un nom de fichier "));
        AddControl("Label1", {368, 40}, QStringLiteral("pour charger un fichier contenant  "));
        AddControl("Label2", {368, 64}, QStringLiteral("l'environement initial  "));
        AddControl("DriveComboBox1", {368, 96});
        AddControl("DirectoryListBox1", {368, 128});
        AddControl("FileListBox1", {496, 128});
        AddControl("Edit4", {368, 256}, QStringLiteral(""));
        AddControl("Button1", {256, 296}, QStringLiteral("OK"));
    }
    void controls() { CheckControl(*form); }

    // Buttons clicked in order (by their number) and the mode they leave.
    void radioButtonsSetTheMode_data() {
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<int>("mode");
        QTest::newRow("none") << "" << 1;
        QTest::newRow("file") << "1" << 0;
        QTest::newRow("homogeneous") << "2" << 2;
        QTest::newRow("file, random") << "13" << 1;
        QTest::newRow("homogeneous twice") << "22" << 2;
    }
    void radioButtonsSetTheMode() {
        QFETCH(QString, clicks);
        QFETCH(int, mode);
        QRadioButton *byNumber[] = {nullptr, form->RadioButton1, form->RadioButton2, form->RadioButton3};
        for (QChar c : clicks) byNumber[c.digitValue()]->click();
        QCOMPARE(simul->Settings.Initial.EnvInitMode, mode);
    }

    void fieldsHoldTheirSettingsTexts() {
        form->Edit2->setText(QStringLiteral("40"));
        form->Edit3->setText(QStringLiteral("5"));
        form->Edit1->setText(QStringLiteral("70"));
        form->Edit5->setText(QStringLiteral("1"));
        const InitialSettings &initial = simul->Settings.Initial;
        QCOMPARE(initial.EnvMean, std::string("40"));
        QCOMPARE(initial.EnvVariability, std::string("5"));
        QCOMPARE(initial.EnvConstant, std::string("70"));
    }

    void fileChoiceFillsThePath() {
        CheckInitialFilePanel(
            *form, *form->Chooser, *form->Edit4, [this] { form->FileChoice(); }, simul->Settings.Initial.EnvFilePath);
    }

private:
    std::unique_ptr<Simul> simul;
    std::unique_ptr<TForm8> form;
};

QTEST_MAIN(TestTForm8)
#include "tst_inienvt.moc"
