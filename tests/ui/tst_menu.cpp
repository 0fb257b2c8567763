#include <memory>

#include <QAction>
#include <QMenu>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>

#include "DialogChecks.h"
#include "DynEnvt.h"
#include "Espece.h"
#include "IniEnvt.h"
#include "InitDistEsp.h"
#include "Menu.h"
#include "Sauvegarde.h"
#include "Simulation.h"
#include "sorties.h"

using namespace glebix;
using namespace glebix::testing;

class TestTForm4 : public QObject {
    Q_OBJECT
private slots:
    void init() {
        simul = std::make_unique<Simul>();
        windows = std::make_unique<MenuAndDialogs>(*simul);
    }
    void cleanup() {
        windows.reset();
        simul.reset();
    }

    void windowsAfterStartUp() {
        CheckWindow(windows->Form4, QStringLiteral("Glebix"), {-1, 111}, {782, 115}, true);
        for (QWidget *dialog : Dialogs()) QVERIFY2(!dialog->isVisible(), qPrintable(dialog->windowTitle()));
    }

    // The menu bar's entries in order, each with its items in order.
    void menuEntries() {
        const QList<QAction *> entries = windows->Form4.menuBar()->actions();
        QStringList texts;
        for (QAction *entry : entries) {
            QStringList items;
            if (QMenu *menu = entry->menu())
                for (QAction *item : menu->actions()) items << item->objectName() + QLatin1Char('=') + item->text();
            texts << entry->objectName() + QLatin1Char('=') + entry->text() + QLatin1Char('[') +
                         items.join(QLatin1Char(',')) + QLatin1Char(']');
        }
        QCOMPARE(texts, (QStringList{
                            "Espce1=Espèce[Paramtres1=Paramètres de base,Rpartitioninitiale1=Répartition initiale]",
                            "Environement1=Milieu physique[Htrognitinitiale1=Hétérogénéité initiale,"
                            "Dynamique1=Dynamique ]",
                            "Sauvegarde1=Sorties[Affichage1=Affichage,Sauvegarde2=Sauvegarde]",
                            "Simulations1=Simulations[]",
                        }));
    }

    // Each item shows its dialog only.
    void itemsShowTheirDialog_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Paramtres1") << "Paramtres1"
                                    << "Espèce";
        QTest::newRow("Rpartitioninitiale1") << "Rpartitioninitiale1"
                                             << "Initialisation de la distirbution de la faune";
        QTest::newRow("Htrognitinitiale1") << "Htrognitinitiale1"
                                           << "Intitilisation du milieu physique";
        QTest::newRow("Dynamique1") << "Dynamique1"
                                    << "Dynamique du milieu physique";
        QTest::newRow("Affichage1") << "Affichage1"
                                    << "Sorties";
        QTest::newRow("Sauvegarde2") << "Sauvegarde2"
                                     << "Sauvegarde";
        QTest::newRow("Simulations1") << "Simulations1"
                                      << "Paramètres de la simulation";
    }
    void itemsShowTheirDialog() {
        QFETCH(QString, item);
        QFETCH(QString, caption);
        auto *action = windows->Form4.findChild<QAction *>(item);
        QVERIFY(action);
        action->trigger();
        QCOMPARE(ShownCaptions(), QStringList{caption});
        // Again while shown: it stays shown, with what it holds.
        QList<QLineEdit *> fields;
        for (QWidget *dialog : Dialogs())
            if (dialog->isVisible()) fields = dialog->findChildren<QLineEdit *>();
        for (QLineEdit *field : fields) field->setText(QStringLiteral("7"));
        action->trigger();
        QCOMPARE(ShownCaptions(), QStringList{caption});
        for (QLineEdit *field : fields) QCOMPARE(field->text(), QStringLiteral("7"));
    }

    // Closing the menu window hides it and leaves the dialogs as they are.
    void closingTheMenuHidesIt() {
        windows->Form4.Affichage1->trigger();
        QVERIFY(windows->Form4.close());
        QVERIFY(!windows->Form4.isVisible());
        QVERIFY(windows->Form6.isVisible());
        QVERIFY(!windows->Form4.testAttribute(Qt::WA_QuitOnClose));
        for (QWidget *dialog : Dialogs()) QVERIFY(!dialog->testAttribute(Qt::WA_QuitOnClose));
    }

    // The dialogs write into the model they were created on.
    void dialogsShareTheModel() {
        windows->Form12.Edit1->setText(QStringLiteral("50"));
        windows->Form10.RadioButton1->click();
        QCOMPARE(simul->Settings.Run.StepCount, std::string("50"));
        QCOMPARE(simul->Settings.Run.EnvDynamic, false);
    }

private:
    QList<QWidget *> Dialogs() const {
        const ParameterDialogs d = windows->Dialogs();
        return {d.Form5, d.Form6, d.Form7, d.Form8, d.Form9, d.Form10, d.Form12};
    }
    QStringList ShownCaptions() const {
        QStringList shown;
        for (QWidget *dialog : Dialogs())
            if (dialog->isVisible()) shown << dialog->windowTitle();
        return shown;
    }

    std::unique_ptr<Simul> simul;
    std::unique_ptr<MenuAndDialogs> windows;
};

QTEST_MAIN(TestTForm4)
#include "tst_menu.moc"
