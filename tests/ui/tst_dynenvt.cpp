#include <memory>

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "DialogChecks.h"
#include "DynEnvt.h"

using namespace glebix;
using namespace glebix::testing;

class TestTForm10 : public QObject {
    Q_OBJECT
private slots:
    void init() {
        simul = std::make_unique<Simul>();
        form = std::make_unique<TForm10>(*simul);
    }
    void cleanup() {
        form.reset();
        simul.reset();
    }

    void window() { CheckWindow(*form, QStringLiteral("Dynamique du milieu physique"), {296, 289}, {549, 353}, false); }

    void controls_data() {
        AddControlColumns();
        AddControl("RadioButton1", {56, 24}, QStringLiteral("Milieu physique constant"), 0);
        AddControl("StaticText1", {72, 48}, QStringLiteral("stable"));
        AddControl("RadioButton2", {224, 24}, QStringLiteral("Milieu physique modifié"), 1);
        AddControl("Label1", {240, 48}, QStringLiteral("par la faune"));
        AddControl("Edit1", {232, 88}, QStringLiteral("100"));
        AddControl("Label2", {296, 88}, QStringLiteral("Valeur maximale"));
        AddControl("Edit2", {232, 120}, QStringLiteral("0"));
        AddControl("Label3", {296, 120}, QStringLiteral("Valeur minimale"));
        AddControl("Label5", {136, 192}, QStringLiteral("Modalités de la décompaction"));
        AddControl("Label6", {96, 216}, QStringLiteral("Decompaction D"));
        AddControl("Edit4", {224, 216}, QStringLiteral("5.658"));
        AddControl("Button1", {232, 264}, QStringLiteral("OK"));
    }
    void controls() { CheckControl(*form); }

    // Clicks in order ('c' constant, 'm' modified) and the flag they leave.
    void radioButtonsSetTheDynamics_data() {
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<bool>("dynamic");
        QTest::newRow("none") << "" << true;
        QTest::newRow("constant") << "c" << false;
        QTest::newRow("constant, modified") << "cm" << true;
        QTest::newRow("constant, modified, constant") << "cmc" << false;
        QTest::newRow("modified while selected") << "mm" << true;
        QTest::newRow("constant twice") << "cc" << false;
    }
    void radioButtonsSetTheDynamics() {
        QFETCH(QString, clicks);
        QFETCH(bool, dynamic);
        for (QChar c : clicks) (c == QLatin1Char('c') ? form->RadioButton1 : form->RadioButton2)->click();
        QCOMPARE(simul->Settings.Run.EnvDynamic, dynamic);
        QCOMPARE(form->RadioButton2->isChecked(), dynamic);
    }

    // D is converted at every step, so a new text counts from the next step on.
    void decompactionTakesEffectAtTheNextStep() {
        InitialSettings &initial = simul->Settings.Initial;
        initial.EnvInitMode = 2;  // every cell 20 compacted, 80 decompacted
        initial.DistInitMode = 2;
        initial.DistConstant = "0";  // no fauna: only the relaxation moves soil
        simul->SetUpRun(1u);
        form->Edit4->setText(QStringLiteral("5"));
        simul->TimeStep();
        QCOMPARE(simul->Plot.Env[0][0].Compacted, 25.0);
        form->Edit4->setText(QStringLiteral("10"));
        simul->TimeStep();
        QCOMPARE(simul->Plot.Env[0][0].Compacted, 35.0);
        QCOMPARE(simul->Plot.Env[49][49].Decompacted, 65.0);
        form->RadioButton1->click();
        simul->TimeStep();
        QCOMPARE(simul->Plot.Env[0][0].Compacted, 35.0);
    }

    // The fields that feed nothing keep whatever is typed and write no setting.
    void shownOnlyFieldsChangeNothing() {
        const std::string before = simul->Settings.Run.DecompactionD;
        form->Edit1->setText(QStringLiteral("abc"));
        form->Edit2->setText(QStringLiteral("-1"));
        QCOMPARE(simul->Settings.Run.DecompactionD, before);
        QVERIFY(form->Edit1->toolTip().isEmpty());
    }

private:
    std::unique_ptr<Simul> simul;
    std::unique_ptr<TForm10> form;
};

QTEST_MAIN(TestTForm10)
#include "tst_dynenvt.moc"
