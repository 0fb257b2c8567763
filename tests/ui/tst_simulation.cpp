#include <memory>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "Conversions.h"
#include "DialogChecks.h"
#include "Simulation.h"

using namespace glebix;
using namespace glebix::testing;

class TestTForm12 : public QObject {
    Q_OBJECT
private slots:
    void init() {
        simul = std::make_unique<Simul>();
        form = std::make_unique<TForm12>(*simul);
    }
    void cleanup() {
        form.reset();
        simul.reset();
    }

    void window() { CheckWindow(*form, QStringLiteral("Paramètres de la simulation"), {274, 225}, {547, 260}, false); }

    void controls_data() {
        AddControlColumns();
        AddControl("Label1", {16, 32}, QStringLiteral("Nombre de pas de temps"));
        AddControl("Edit1", {208, 32}, QStringLiteral("300"));
        AddControl("Button1", {240, 176}, QStringLiteral("OK"));
    }
    void controls() { CheckControl(*form); }

    // The field only holds text: what was typed last is what a run converts when
    // it starts, and a run already going keeps the count it read.
    void stepCountIsTheLastTextTyped() {
        const std::int32_t readAtStart = FieldToInteger(simul->Settings.Run.StepCount);
        form->Edit1->selectAll();
        QTest::keyClicks(form->Edit1, "12");
        QCOMPARE(simul->Settings.Run.StepCount, std::string("12"));
        QTest::keyClicks(form->Edit1, "0");
        QCOMPARE(FieldToInteger(simul->Settings.Run.StepCount), 120);
        QCOMPARE(readAtStart, 300);
    }

    void okAndClosingHide() {
        form->show();
        form->findChild<QPushButton *>(QStringLiteral("Button1"))->click();
        QVERIFY(!form->isVisible());
        form->show();
        QVERIFY(form->close());
        QVERIFY(!form->isVisible());
        QCOMPARE(form->Edit1->text(), QStringLiteral("300"));
    }

private:
    std::unique_ptr<Simul> simul;
    std::unique_ptr<TForm12> form;
};

QTEST_MAIN(TestTForm12)
#include "tst_simulation.moc"
