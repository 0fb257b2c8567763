#include <memory>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "DialogChecks.h"
#include "DialogControls.h"
#include "sorties.h"

using namespace glebix;
using namespace glebix::testing;

class TestTForm6 : public QObject {
    Q_OBJECT
private slots:
    void init() {
        simul = std::make_unique<Simul>();
        form = std::make_unique<TForm6>(*simul);
    }
    void cleanup() {
        form.reset();
        simul.reset();
    }

    void window() { CheckWindow(*form, QStringLiteral("Sorties"), {424, 273}, {407, 193}, false); }

    void controls_data() {
        AddControlColumns();
        AddControl("CheckBox1", {24, 24}, QStringLiteral("Carte des densités"), 1);
        AddControl("CheckBox2", {24, 56}, QStringLiteral("Densité d'une case en fonction du temps"), 1);
        AddControl("Label1", {264, 56}, QStringLiteral("X"));
        AddControl("Edit1", {280, 56}, QStringLiteral("8"));
        AddControl("Label2", {328, 56}, QStringLiteral("Y"));
        AddControl("Edit2", {344, 56}, QStringLiteral("8"));
        AddControl("Button1", {144, 104}, QStringLiteral("OK"));
    }
    void controls() { CheckControl(*form); }

    // Each box follows its flag through any number of clicks.
    void checkBoxesFollowTheirFlags() {
        RunSettings &run = simul->Settings.Run;
        form->CheckBox1->click();
        QCOMPARE(run.ShowDensityMap, false);
        QCOMPARE(run.ShowCellChart, true);
        form->CheckBox1->click();
        QCOMPARE(run.ShowDensityMap, true);
        form->CheckBox2->click();
        QCOMPARE(run.ShowCellChart, false);
        QCOMPARE(run.ShowDensityMap, true);
    }

    void chartCellFieldsHoldTheirTexts() {
        QTest::keyClick(form->Edit1, Qt::Key_Backspace);
        QTest::keyClicks(form->Edit1, "12");
        form->Edit2->setText(QStringLiteral("50"));
        QCOMPARE(simul->Settings.Run.ChartCellX, std::string("12"));
        QCOMPARE(simul->Settings.Run.ChartCellY, std::string("50"));
    }

    // The chart cell a click on the map chooses goes into the fields as typed text.
    void setChartCellFillsTheFields() {
        form->SetChartCell(27, 3);
        QCOMPARE(form->Edit1->text(), QStringLiteral("27"));
        QCOMPARE(form->Edit2->text(), QStringLiteral("3"));
        QCOMPARE(simul->Settings.Run.ChartCellX, std::string("27"));
        QCOMPARE(simul->Settings.Run.ChartCellY, std::string("3"));
    }

    // The box's caption ends before the "X" label starts, whole and no smaller than
    // the least fitted size.
    void chartCaptionClearsTheXLabel() {
        const QWidget *label = form->findChild<QWidget *>(QStringLiteral("Label1"));
        QVERIFY(label);
        QVERIFY(form->CheckBox2->geometry().right() < label->x());
        QVERIFY(form->CheckBox2->sizeHint().width() <= form->CheckBox2->width());
        QVERIFY(form->CheckBox2->font().pixelSize() >= MinFittedPixels);
        QCOMPARE(form->CheckBox2->pos(), QPoint(24, 56));
    }

    void okHidesTheDialog() {
        form->show();
        form->findChild<QPushButton *>(QStringLiteral("Button1"))->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(form->Edit1->text(), QStringLiteral("8"));
    }

private:
    std::unique_ptr<Simul> simul;
    std::unique_ptr<TForm6> form;
};

QTEST_MAIN(TestTForm6)
#include "tst_sorties.moc"
