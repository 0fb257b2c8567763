#include <memory>

#include <QCheckBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QTest>

#include "DialogControls.h"
#include "DynEnvt.h"
#include "ErrorBox.h"
#include "Errors.h"
#include "IniEnvt.h"
#include "Sauvegarde.h"
#include "Simulation.h"

using namespace glebix;

// A field whose text does not convert wholly is highlighted with the value the run
// will use; the text and the setting stay as typed.
class TestDialogControls : public QObject {
    Q_OBJECT
private slots:
    void init() { simul = std::make_unique<Simul>(); }
    void cleanup() { simul.reset(); }

    void valueInUse_data() {
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tooltip");  // empty: not highlighted
        QTest::newRow("real") << false << "5.658"
                              << "";
        QTest::newRow("real with exponent") << false << "1e2"
                                            << "";
        QTest::newRow("negative real") << false << "-0.5"
                                       << "";
        QTest::newRow("leading blank") << false << " 3"
                                       << "";
        QTest::newRow("decimal comma") << false << "0,4"
                                       << "Valeur utilisée : 0";
        QTest::newRow("trailing blank") << false << "0.4 "
                                        << "Valeur utilisée : 4";
        QTest::newRow("comma and decimals") << false << "12,5"
                                            << "Valeur utilisée : 12";
        QTest::newRow("digits beyond a double's") << false << "123456789012345678901234x"
                                                  << "Valeur utilisée : 1,2345678901234569e+23";
        QTest::newRow("letters") << false << "abc"
                                 << "Valeur utilisée : 0";
        QTest::newRow("empty real") << false << ""
                                    << "Valeur utilisée : 0";
        QTest::newRow("whole") << true << "300"
                               << "";
        QTest::newRow("hexadecimal") << true << "$10"
                                     << "";
        QTest::newRow("whole with a point") << true << "2.5"
                                            << "Valeur utilisée : 2";
        QTest::newRow("sign dropped") << true << "-3a"
                                      << "Valeur utilisée : 3";
        QTest::newRow("whole with a blank") << true << "12 "
                                            << "Valeur utilisée : 12";
    }
    void valueInUse() {
        QFETCH(bool, whole);
        QFETCH(QString, text);
        QFETCH(QString, tooltip);
        TForm10 dynamics(*simul);
        TForm12 steps(*simul);
        QLineEdit *edit = whole ? steps.Edit1 : dynamics.Edit4;
        const std::string &setting = whole ? simul->Settings.Run.StepCount : simul->Settings.Run.DecompactionD;
        const QColor normal = edit->palette().color(QPalette::Base);

        edit->setText(text);
        QCOMPARE(edit->text(), text);
        QCOMPARE(setting, text.toStdString());
        QCOMPARE(edit->toolTip(), tooltip);
        QCOMPARE(edit->palette().color(QPalette::Base) == FallbackFieldColour, !tooltip.isEmpty());

        // Mended, the field looks as it did.
        edit->setText(QStringLiteral("7"));
        QVERIFY(edit->toolTip().isEmpty());
        QCOMPARE(edit->palette().color(QPalette::Base), normal);
    }

    // Path fields and fields that feed nothing are never highlighted.
    void pathAndShownOnlyFieldsStayPlain() {
        TForm7 save(*simul);
        TForm8 environment(*simul);
        save.Edit1->setText(QStringLiteral("/tmp/2,5 x"));
        environment.Edit4->setText(QStringLiteral("abc"));
        environment.Edit5->setText(QStringLiteral("0,4"));
        QVERIFY(save.Edit1->toolTip().isEmpty());
        QVERIFY(environment.Edit4->toolTip().isEmpty());
        QVERIFY(environment.Edit5->toolTip().isEmpty());
        QCOMPARE(simul->Settings.Run.ResultDirectory, std::string("/tmp/2,5 x"));
    }

    // A text wider than its room is shown in a smaller font, never below the least
    // size; one that fits keeps its font.
    void fitTextToWidth() {
        QWidget form;
        QCheckBox *wide = MakeCheckBox(&form, "Wide", QStringLiteral("Densité d'une case en fonction du temps"), 0, 0);
        const int before = wide->sizeHint().width();
        FitTextToWidth(wide, before - 40);
        QVERIFY(wide->sizeHint().width() <= before - 40);
        QCOMPARE(wide->width(), before - 40);
        QCOMPARE(wide->text(), QStringLiteral("Densité d'une case en fonction du temps"));
        QCheckBox *narrow = MakeCheckBox(&form, "Narrow", QStringLiteral("X"), 0, 0);
        const QFont font = narrow->font();
        FitTextToWidth(narrow, 200);
        QCOMPARE(QFontInfo(narrow->font()).pixelSize(), QFontInfo(font).pixelSize());
        FitTextToWidth(wide, 1);
        QCOMPARE(wide->font().pixelSize(), MinFittedPixels);
    }

    // The error box: the message with its full stop as text, the context as details.
    void errorBoxDetails() {
        GlebixError error("Saisie numérique incorrecte", {"EnvFilePath", "/d/milieu.txt", 3, 7, "2,5"});
        std::string text, details;
        SetErrorBoxHandler([&](const std::string &t, const std::string &d) {
            text = t;
            details = d;
        });
        ShowErrorBox(error);
        SetErrorBoxHandler({});
        QCOMPARE(text, std::string("Saisie numérique incorrecte."));
        QCOMPARE(details, DescribeContext(error.Context()));
        const auto box = MakeErrorBox(error.what(), details, nullptr);
        QCOMPARE(box->text(), QStringLiteral("Saisie numérique incorrecte."));
        QCOMPARE(box->detailedText(), QString::fromStdString(details));
        QVERIFY(box->detailedText().contains(QStringLiteral("/d/milieu.txt")));
        QCOMPARE(box->windowTitle(), QStringLiteral("Glebix"));
        QVERIFY(MakeErrorBox("Disque plein", {}, nullptr)->detailedText().isEmpty());
    }

private:
    std::unique_ptr<Simul> simul;
};

QTEST_MAIN(TestDialogControls)
#include "tst_dialogcontrols.moc"
