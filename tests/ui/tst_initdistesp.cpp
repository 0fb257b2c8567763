#include <memory>

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "DialogChecks.h"
#include "FileChooser.h"
#include "InitDistEsp.h"

using namespace glebix;
using namespace glebix::testing;

class TestTForm9 : public QObject {
    Q_OBJECT
private slots:
    void init() {
        simul = std::make_unique<Simul>();
        form = std::make_unique<TForm9>(*simul);
    }
    void cleanup() {
        form.reset();
        simul.reset();
    }

    void window() {
        CheckWindow(*form, QStringLiteral("Initialisation de la distirbution de la faune"), {446, 259}, {666, 394},
                    false);
    }

    void controls_data() {
        AddControlColumns();
        AddControl("RadioButton1", {16, 32}, QStringLiteral("Charger la distribution initiale:"), 0);
        AddControl("RadioButton3", {16, 64}, QStringLiteral("Distirbution aléatoire"), 0);
        AddControl("Label4", {24, 104}, QStringLiteral("Moyenne"));
        AddControl("Edit2", {88, 104}, QStringLiteral("5"));
        AddControl("Label5", {176, 104}, QStringLiteral("Variabilité"));
        AddControl("Edit3", {248, 104}, QStringLiteral("20"));
        AddControl("RadioButton2", {16, 128}, QStringLiteral("Distribution homogène"), 0);
        AddControl("RadioButton4", {16, 168}, QStringLiteral("Tout dans le tiers gauche"), 0);
        AddControl("RadioButton5", {16, 208}, QStringLiteral("Tout au centre"), 1);
        AddControl("Label3", {16, 256}, QStringLiteral("Constante"));
        AddControl("Edit1", {88, 256}, QStringLiteral("2"));
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
        QTest::newRow("none") << "" << 4;
        QTest::newRow("file") << "1" << 0;
        QTest::newRow("random") << "3" << 1;
        QTest::newRow("homogeneous") << "2" << 2;
        QTest::newRow("left third") << "4" << 3;
        QTest::newRow("left third, centre") << "45" << 4;
        QTest::newRow("centre while selected") << "5" << 4;
    }
    void radioButtonsSetTheMode() {
        QFETCH(QString, clicks);
        QFETCH(int, mode);
        QRadioButton *byNumber[] = {
            nullptr,           form->RadioButton1, form->RadioButton2, form->RadioButton3, form->RadioButton4,
            form->RadioButton5};
        for (QChar c : clicks) byNumber[c.digitValue()]->click();
        QCOMPARE(simul->Settings.Initial.DistInitMode, mode);
    }

    // The texts typed are what run set-up converts.
    void fieldsReachTheSetUp() {
        form->RadioButton2->click();
        form->Edit1->setText(QStringLiteral("7"));
        form->Edit2->setText(QStringLiteral("9"));
        form->Edit3->setText(QStringLiteral("3.5"));
        const InitialSettings &initial = simul->Settings.Initial;
        QCOMPARE(initial.DistMean, std::string("9"));
        QCOMPARE(initial.DistVariability, std::string("3.5"));
        simul->SetUpRun(1u);
        QCOMPARE(simul->Plot.Density[0][0], 7);
        QCOMPARE(simul->Plot.Density[49][49], 7);
    }

    void fileChoiceFillsThePath() {
        CheckInitialFilePanel(
            *form, *form->Chooser, *form->Edit4, [this] { form->FileChoice(); }, simul->Settings.Initial.DistFilePath);
    }

private:
    std::unique_ptr<Simul> simul;
    std::unique_ptr<TForm9> form;
};

QTEST_MAIN(TestTForm9)
#include "tst_initdistesp.moc"
