// A run made in the windows, seeded from the clock, repeated by the batch tool from
// the manifest written beside its result file: the same result file, byte for byte,
// and a refusal once an input file has changed or for a field's text that --set
// would refuse.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "TestFiles.h"
#include "BatchMain.h"
#include "ErrorBox.h"
#include "ProgramWindows.h"
#include "sorties.h"

using namespace glebix;
using namespace glebix::testing;

class TestWindowsRepeat : public QObject {
    Q_OBJECT
private slots:
    void repeatedByTheBatchTool() {
        ScratchDir dir;
        Simul simul;
        ProgramWindows windows(simul);
        QStringList errors;
        SetErrorBoxHandler(
            [&errors](const std::string &text, const std::string &) { errors << QString::fromStdString(text); });
        // Settings as a user sets them: a typed field, a chart cell chosen on the map,
        // initial files from disk, saving on.
        const std::string environment = dir.File("milieu.txt", "1 1 80\n25 25 10\n");
        const std::string distribution = dir.File("faune.txt", "25 25 40\n26 25 3\n");
        simul.Settings.Initial.EnvInitMode = EnvModeFile;
        simul.Settings.Initial.EnvFilePath = environment;
        simul.Settings.Initial.DistInitMode = DistModeFile;
        simul.Settings.Initial.DistFilePath = distribution;
        simul.Settings.Species.Fecundity = "2.5";
        simul.Settings.Run.StepCount = "8";
        simul.Settings.Run.SaveResults = true;
        simul.Settings.Run.ResultDirectory = dir / "resultats";
        std::filesystem::create_directory(dir / "resultats");
        windows.PlotWindow.ChooseChartCell(12, 40);
        QCOMPARE(windows.Menu.Form6.Edit1->text(), QStringLiteral("12"));
        windows.Launcher.Button2->click();
        SetErrorBoxHandler({});
        QVERIFY(errors.isEmpty());
        QCOMPARE(windows.Launcher.Edit1->text(), QStringLiteral("Simulations finies"));
        const std::string result = ReadAll(dir / "resultats/RireVed1a1p1.txt");
        QVERIFY(result.size() >= std::size_t{2500 * 8});  // lines like "0  80.0\r\n" at least
        const std::string manifest = dir / "resultats/RireVed1a1p1.json";

        QCOMPARE(batch::BatchMain({"--repeat", manifest, "--out", dir / "encore", "--quiet"}), 0);
        QVERIFY(ReadAll(dir / "encore/RireVed1a1p1.txt") == result);

        // A field's text that a dialog reads in part is not one a repeat takes.
        std::string partial = ReadAll(manifest);
        partial.replace(partial.find("\"2.5\""), 5, "\"2.5abc\"");
        const std::string edited = dir.File("partiel.json", partial);
        QCOMPARE(batch::BatchMain({"--repeat", edited, "--out", dir / "partiel", "--quiet"}), 2);
        QVERIFY(!std::filesystem::exists(dir / "partiel/RireVed1a1p1.txt"));

        WriteAll(distribution, "25 25 41\n26 25 3\n");
        QCOMPARE(batch::BatchMain({"--repeat", manifest, "--out", dir / "change", "--quiet"}), 2);
        QVERIFY(!std::filesystem::exists(dir / "change/RireVed1a1p1.txt"));
    }
};

QTEST_MAIN(TestWindowsRepeat)
#include "tst_windowsrepeat.moc"
