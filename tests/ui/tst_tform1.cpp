// The launcher and the run driver, driven through their buttons with a fixed seed,
// with the plot and chart windows they draw into.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <cstring>
#include <memory>
#include <vector>

#include "AfficheCase.h"
#include "Affichage.h"
#include "TestFiles.h"
#include "ErrorBox.h"
#include "ExportChecks.h"
#include "DialogControls.h"
#include "Glebix1.h"
#include "MessagePump.h"
#include "Outputs.h"
#include "ResultFile.h"
#include "Simul.h"

using namespace glebix;
using namespace glebix::testing;

namespace {

constexpr std::uint32_t TestSeed = 12345;

// What the launcher showed at the first engine yield of a step.
struct StepSeen {
    int step;
    QString status;
    bool simulationsEnabled;
    bool stopEnabled;
};

// The plot an engine run with the program's settings and the test seed reaches after
// `steps` steps.
std::unique_ptr<Simul> ReferenceRun(const Simul &program, int steps) {
    auto sim = std::make_unique<Simul>();
    sim->Settings = program.Settings;
    sim->SetUpRun(TestSeed);
    for (int k = 0; k < steps; ++k) sim->TimeStep();
    return sim;
}

bool SamePlot(const TPlot &a, const TPlot &b) {
    return a.Density == b.Density &&
           std::memcmp(a.Env.Data(), b.Env.Data(), a.Env.Size() * sizeof(glebix::TCellEnv)) == 0;
}

// Pixels that are neither the background nor black (the axes): the chart's markers.
int MarkerPixels(const QImage &image) {
    const QRgb background = image.pixel(5, 5);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (p != background && (p & 0xFFFFFF) != 0) ++n;
        }
    return n;
}

}  // namespace

class TestTForm1 : public QObject {
    Q_OBJECT

    std::unique_ptr<Simul> simul;
    std::unique_ptr<TForm1> launcher;
    std::unique_ptr<TForm2> plotWindow;
    std::unique_ptr<TForm3> chartWindow;
    std::unique_ptr<QTemporaryDir> dir;
    QStringList errors;
    QStringList errorDetails;
    std::vector<StepSeen> seen;

    // Makes the engine's yield callback record the launcher at each new step and
    // then run `atYield` (with the current step).
    void WatchSteps(std::function<void(int)> atYield = {}) {
        simul->ProcessMessages = [this, atYield] {
            const int step = launcher->StepIndex;
            if (seen.empty() || seen.back().step != step)
                seen.push_back(
                    {step, launcher->Edit1->text(), launcher->Button2->isEnabled(), launcher->Button3->isEnabled()});
            if (atYield) atYield(step);
        };
    }

    QString ResultFile() const { return dir->filePath(QString::fromStdString(ResultFileName())); }

private slots:
    void init() {
        simul = std::make_unique<Simul>();
        dir = std::make_unique<QTemporaryDir>();
        simul->Settings.Run.ResultDirectory = dir->path().toStdString();
        launcher = std::make_unique<TForm1>(*simul);
        plotWindow = std::make_unique<TForm2>(*simul);
        chartWindow = std::make_unique<TForm3>(*simul);
        launcher->SetOutputWindows(plotWindow.get(), chartWindow.get());
        launcher->Seed = TestSeed;
        errors.clear();
        errorDetails.clear();
        seen.clear();
        SetErrorBoxHandler([this](const std::string &text, const std::string &details) {
            errors << QString::fromStdString(text);
            errorDetails << QString::fromStdString(details);
        });
    }
    void cleanup() {
        SetErrorBoxHandler({});
        launcher.reset();
        plotWindow.reset();
        chartWindow.reset();
        simul.reset();
    }

    void initialState() {
        QCOMPARE(launcher->windowTitle(), QStringLiteral("Lanceur"));
        QCOMPARE(launcher->frameGeometry(), QRect(780, 3, 241, 165));
        QCOMPARE(launcher->Edit1->text(), QStringLiteral("Programme de simulations Glebix"));
        QCOMPARE(launcher->Edit1->geometry(), QRect(8, 8, 217, 21));
        QCOMPARE(launcher->Button1->text(), QStringLiteral(" Quitter"));
        QCOMPARE(launcher->Button1->geometry(), QRect(8, 56, 105, 33));
        QVERIFY(launcher->Button1->font().bold());
        QCOMPARE(launcher->Button2->text(), QStringLiteral("Simulations"));
        QCOMPARE(launcher->Button2->geometry(), QRect(8, 88, 73, 33));
        QVERIFY(!launcher->Button2->font().bold());
        QCOMPARE(launcher->Button3->text(), QStringLiteral("Stopper les simulations"));
        QCOMPARE(launcher->Button3->geometry(), QRect(112, 56, 113, 33));
        QVERIFY(launcher->Button1->isEnabled());
        QVERIFY(launcher->Button2->isEnabled());
        QVERIFY(!launcher->Button3->isEnabled());
        QVERIFY(!plotWindow->isVisible());
        QVERIFY(!chartWindow->isVisible());
    }

    void shortRun() {
        simul->Settings.Run.StepCount = "3";
        WatchSteps();
        QTest::mouseClick(launcher->Button2, Qt::LeftButton);

        QCOMPARE(seen.size(), size_t{3});
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(seen[k].step, k + 1);
            QCOMPARE(seen[k].status, QStringLiteral("Simulations en cours"));
            QVERIFY(!seen[k].simulationsEnabled);
            QVERIFY(seen[k].stopEnabled);
        }
        QCOMPARE(launcher->Edit1->text(), QStringLiteral("Simulations finies"));
        QVERIFY(!launcher->Button3->isEnabled());
        QVERIFY(launcher->Button2->isEnabled());
        QVERIFY(!launcher->Running());
        QCOMPARE(plotWindow->Edit1->text(), QStringLiteral("3"));
        QVERIFY(plotWindow->isVisible());
        QVERIFY(chartWindow->isVisible());
        QVERIFY(errors.isEmpty());
        QVERIFY(!QFile::exists(ResultFile()));

        // Exactly three steps on the seeded generator, and the map shows their result.
        const auto reference = ReferenceRun(*simul, 3);
        QVERIFY(SamePlot(simul->Plot, reference->Plot));
        QCOMPARE(simul->RandomSeed, reference->RandomSeed);
        const int bottom = plotWindow->OuterHeight() - MapBottomMargin;
        for (int i : {1, 24, 25, 26, 50}) {
            const Rgb c = DensityColour(reference->Plot.Density[i - 1][24]);
            QCOMPARE(plotWindow->Picture().pixel(30 + 7 * (i - 1) + 3, bottom - 7 * 25 + 3) & 0xFFFFFF,
                     qRgb(c.r, c.g, c.b) & 0xFFFFFF);
        }
        // Steps 1 to 3 put markers at x 30 and 32.
        QVERIFY(MarkerPixels(chartWindow->Picture()) > 0);
    }

    void stopFromInsideAStep() {
        simul->Settings.Run.StepCount = "10";
        simul->Settings.Run.SaveResults = true;
        WatchSteps([this](int step) {
            if (step == 4) launcher->Button3->click();
        });
        launcher->Button2->click();

        QCOMPARE(seen.size(), size_t{4});
        QCOMPARE(plotWindow->Edit1->text(), QStringLiteral("4"));
        QCOMPARE(launcher->Edit1->text(), QStringLiteral("Simulations en cours"));
        QVERIFY(launcher->Button3->isEnabled());
        QVERIFY(launcher->Button2->isEnabled());
        QVERIFY(!QFile::exists(ResultFile()));
        QVERIFY(SamePlot(simul->Plot, ReferenceRun(*simul, 4)->Plot));

        // The next run clears the request.
        simul->Settings.Run.StepCount = "2";
        seen.clear();
        launcher->Button2->click();
        QCOMPARE(seen.size(), size_t{2});
        QCOMPARE(launcher->Edit1->text(), QStringLiteral("Simulations finies"));
        QVERIFY(QFile::exists(ResultFile()));
    }

    void singleStepIsTheLast() {
        simul->Settings.Run.StepCount = "1";
        simul->Settings.Run.SaveResults = true;
        WatchSteps();
        launcher->Button2->click();
        QCOMPARE(seen.size(), size_t{1});
        QCOMPARE(seen[0].status, QStringLiteral("Simulations en cours"));
        QCOMPARE(launcher->Edit1->text(), QStringLiteral("Simulations finies"));
        QVERIFY(!launcher->Button3->isEnabled());
        QVERIFY(QFile::exists(ResultFile()));
    }

    void noStep_data() {
        QTest::addColumn<QString>("stepCount");
        QTest::newRow("zero") << "0";
        QTest::newRow("negative") << "-5";
        QTest::newRow("no leading digits") << "abc";
        QTest::newRow("empty") << "";
    }
    void noStep() {
        QFETCH(QString, stepCount);
        simul->Settings.Run.StepCount = stepCount.toStdString();
        simul->Settings.Run.SaveResults = true;
        WatchSteps();
        launcher->Button2->click();
        QVERIFY(seen.empty());
        QVERIFY(plotWindow->isVisible());
        QVERIFY(plotWindow->Edit1->text().isEmpty());
        QCOMPARE(launcher->Edit1->text(), QStringLiteral("Programme de simulations Glebix"));
        QVERIFY(launcher->Button3->isEnabled());
        QVERIFY(launcher->Button2->isEnabled());
        QVERIFY(!QFile::exists(ResultFile()));
        QVERIFY(SamePlot(simul->Plot, ReferenceRun(*simul, 0)->Plot));
    }

    void missingDistributionFile() {
        simul->Settings.Initial.DistInitMode = 0;
        simul->Settings.Initial.DistFilePath = dir->filePath(QStringLiteral("absent.txt")).toStdString();
        WatchSteps();
        launcher->Button2->click();
        QCOMPARE(errors, QStringList{QStringLiteral("Fichier introuvable.")});
        QVERIFY(seen.empty());
        QVERIFY(!plotWindow->isVisible());
        QVERIFY(plotWindow->Edit1->text().isEmpty());
        QCOMPARE(launcher->Edit1->text(), QStringLiteral("Programme de simulations Glebix"));
        QVERIFY(launcher->Button3->isEnabled());
        QVERIFY(launcher->Button2->isEnabled());
        QVERIFY(!launcher->Running());
    }

    void resultFileErrorAfterTheLastStep() {
        simul->Settings.Run.StepCount = "2";
        simul->Settings.Run.SaveResults = true;
        simul->Settings.Run.ResultDirectory = dir->filePath(QStringLiteral("no/such/dir")).toStdString();
        launcher->Button2->click();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].endsWith(QLatin1Char('.')));
        QCOMPARE(plotWindow->Edit1->text(), QStringLiteral("2"));
        QCOMPARE(launcher->Edit1->text(), QStringLiteral("Simulations finies"));
        QVERIFY(!launcher->Button3->isEnabled());
        QVERIFY(launcher->Button2->isEnabled());
    }

    // The caption is fitted to the button's specified size rather than clipped.
    void stopCaptionFitsItsButton() {
        QCOMPARE(launcher->Button3->text(), QStringLiteral("Stopper les simulations"));
        QCOMPARE(launcher->Button3->geometry(), QRect(112, 56, 113, 33));
        QVERIFY(launcher->Button3->sizeHint().width() <= 113);
        QVERIFY(launcher->Button3->font().pixelSize() >= MinFittedPixels);
    }

    // The error box keeps the message as its text; where the fault lies is its details.
    void errorBoxDetailsNameTheFile() {
        simul->Settings.Initial.DistInitMode = DistModeFile;
        const std::string path = dir->filePath(QStringLiteral("absent.txt")).toStdString();
        simul->Settings.Initial.DistFilePath = path;
        launcher->Button2->click();
        QCOMPARE(errors, QStringList{QStringLiteral("Fichier introuvable.")});
        QCOMPARE(errorDetails.size(), 1);
        QVERIFY(errorDetails[0].contains(QString::fromStdString(path)));
    }

    // Beside the result file, its manifest: the batch tool's keys, the seed the set-up
    // took from the clock, every setting's text and the initial file's checksum.
    void manifestBesideTheResultFile() {
        const std::string envFile = dir->filePath(QStringLiteral("milieu.txt")).toStdString();
        WriteAll(envFile, "1 1 40\r\n2 3 55.5\r\n");
        simul->Settings.Initial.EnvInitMode = EnvModeFile;
        simul->Settings.Initial.EnvFilePath = envFile;
        simul->Settings.Run.StepCount = "3";
        simul->Settings.Run.SaveResults = true;
        simul->Settings.Species.Survival = "0.45x";
        launcher->Seed.reset();
        launcher->Button2->click();
        QVERIFY(errors.isEmpty());
        const QString path = dir->filePath(QStringLiteral("RireVed1a1p1.json"));
        const QJsonObject m = QJsonDocument::fromJson(QByteArray::fromStdString(ReadAll(path.toStdString()))).object();
        const QStringList keys = {"command",    "elapsed_seconds", "georeference", "inputs",      "master_seed",
                                  "message",    "outputs",         "program",      "replicates",  "run",
                                  "seed",       "seed_source",     "settings",     "started_utc", "status",
                                  "step_count", "steps_reached",   "version",      "warnings",    "working_directory"};
        QCOMPARE(m.keys(), keys);
        QCOMPARE(m["program"].toString(), QStringLiteral("glebix"));
        QCOMPARE(m["seed"].toInteger(), static_cast<qint64>(simul->RunSeed));
        QCOMPARE(m["seed_source"].toString(), QStringLiteral("clock"));
        QCOMPARE(m["step_count"].toInt(), 3);
        QCOMPARE(m["steps_reached"].toInt(), 3);
        QCOMPARE(m["status"].toString(), QStringLiteral("completed"));
        QCOMPARE(m["settings"]["Survival"].toString(), QStringLiteral("0.45x"));
        QCOMPARE(m["settings"]["StepCount"].toString(), QStringLiteral("3"));
        QCOMPARE(m["outputs"]["result_file"].toString(), ResultFile());
        const QJsonArray inputs = m["inputs"].toArray();
        QCOMPARE(inputs.size(), 1);
        QCOMPARE(inputs[0]["role"].toString(), QStringLiteral("environment"));
        QCOMPARE(inputs[0]["size"].toInt(), 18);
        QCOMPARE(inputs[0]["sha256"].toString().size(), 64);
        // A list of cells places nothing: the plot lies at the origin, without a CRS.
        QVERIFY(m["georeference"]["source"].isNull());
        QVERIFY(m["georeference"]["crs_wkt"].isNull());
        // The program reads its files anew at the next set-up.
        QVERIFY(!simul->GivenInputs);
    }

    // A grid that places the plot is in the manifest's georeference, as the batch tool's
    // manifest gives it: the file, its corner and its cell size.
    void manifestSaysWhereTheInitialGridPlacedThePlot() {
        const std::string grid = dir->filePath(QStringLiteral("milieu.asc")).toStdString();
        std::string text = "ncols 50\nnrows 50\nxllcorner 500000\nyllcorner 6500000\ncellsize 10\n";
        for (int cell = 0; cell < 50 * 50; ++cell) text += "40 ";
        WriteAll(grid, text);
        simul->Settings.Initial.EnvInitMode = EnvModeFile;
        simul->Settings.Initial.EnvFilePath = grid;
        simul->Settings.Run.StepCount = "1";
        simul->Settings.Run.SaveResults = true;
        launcher->Button2->click();
        QVERIFY(errors.isEmpty());
        const QString path = dir->filePath(QStringLiteral("RireVed1a1p1.json"));
        const QJsonObject m = QJsonDocument::fromJson(QByteArray::fromStdString(ReadAll(path.toStdString()))).object();
        QCOMPARE(m["georeference"]["source"].toString(), QString::fromStdString(grid));
        QCOMPARE(m["georeference"]["xllcorner"].toDouble(), 500000.0);
        QCOMPARE(m["georeference"]["yllcorner"].toDouble(), 6500000.0);
        QCOMPARE(m["georeference"]["cellsize"].toDouble(), 10.0);
        const QJsonArray inputs = m["inputs"].toArray();
        QCOMPARE(inputs[0]["path"].toString(), QString::fromStdString(grid));
    }

    // An export dialog opened during a run leaves the run going: it ends while the
    // dialog stays open.
    void exportDialogDoesNotStopTheRun() {
        simul->Settings.Run.StepCount = "4";
        plotWindow->show();
        WatchSteps([this](int step) {
            if (step == 2 && !OpenExportDialog(*plotWindow)) plotWindow->ExportGridsAction->trigger();
        });
        launcher->Button2->click();
        QCOMPARE(seen.size(), size_t{4});
        QCOMPARE(launcher->Edit1->text(), QStringLiteral("Simulations finies"));
        QVERIFY(OpenExportDialog(*plotWindow));
        QVERIFY(AcceptExportDialog(*plotWindow, dir->path()));
        QCOMPARE(ReadAll(dir->filePath(QStringLiteral("density.asc")).toStdString()).substr(0, 9),
                 std::string("ncols 50\n"));
    }

    void noRunInsideARun() {
        simul->Settings.Run.StepCount = "3";
        WatchSteps([this](int step) {
            if (step == 2) launcher->Button2Click();  // what a click would do if it got through
        });
        launcher->Button2->click();
        QCOMPARE(seen.size(), size_t{3});
        QCOMPARE(seen[1].step, 2);
        QVERIFY(!seen[1].simulationsEnabled);
        QCOMPARE(launcher->Edit1->text(), QStringLiteral("Simulations finies"));
        QVERIFY(SamePlot(simul->Plot, ReferenceRun(*simul, 3)->Plot));
        QVERIFY(launcher->Button2->isEnabled());
    }

    void outputFlagsReadAtEachUse() {
        RunSettings &run = simul->Settings.Run;
        run.StepCount = "3";
        run.ShowDensityMap = false;
        run.ShowCellChart = false;
        WatchSteps([&run](int step) {
            if (step == 2) run.ShowCellChart = true;
        });
        launcher->Button2->click();
        // The chart window is shown with the chart off, and gets markers from step 2 on:
        // steps 2 and 3 at x 32, none at x 30 (step 1).
        QVERIFY(chartWindow->isVisible());
        const QImage &chart = chartWindow->Picture();
        QVERIFY(MarkerPixels(chart) > 0);
        const QRgb background = chart.pixel(5, 5);
        for (int y = 0; y < chart.height(); ++y) {
            const QRgb p = chart.pixel(31, y);
            QVERIFY(p == background || (p & 0xFFFFFF) == 0);
        }
        // The map stays undrawn while the step numbers go on.
        QCOMPARE(plotWindow->Edit1->text(), QStringLiteral("3"));
        QImage blank(plotWindow->Picture().size(), plotWindow->Picture().format());
        blank.fill(plotWindow->Picture().pixel(0, 0));
        QCOMPARE(plotWindow->Picture(), blank);
    }

    void chartClearedWhenARunStarts() {
        simul->Settings.Run.StepCount = "3";
        launcher->Button2->click();
        QVERIFY(MarkerPixels(chartWindow->Picture()) > 0);
        simul->Settings.Run.StepCount = "0";
        launcher->Button2->click();
        QCOMPARE(MarkerPixels(chartWindow->Picture()), 0);
        QCOMPARE(chartWindow->Picture().pixel(100, chartWindow->OuterHeight() - ChartBaseMargin) & 0xFFFFFF, 0u);
    }

    void throttledYieldHandlesEventsOnceTheIntervalHasPassed() {
        int delivered = 0;
        QObject receiver;
        QTimer::singleShot(0, &receiver, [&delivered] { ++delivered; });
        PumpWindowEvents();
        QCOMPARE(delivered, 1);
        QTimer::singleShot(0, &receiver, [&delivered] { ++delivered; });
        QThread::msleep(2 * MessagePumpInterval.count());
        for (int k = 0; k < 100 && delivered == 1; ++k) PumpWindowEventsThrottled();
        QCOMPARE(delivered, 2);
    }

    // Last: ending the program leaves the application's event loop flagged to quit.
    void closingTheLauncherStopsTheRun() {
        simul->Settings.Run.StepCount = "10";
        simul->Settings.Run.SaveResults = true;
        launcher->show();
        WatchSteps([this](int step) {
            if (step == 2) launcher->close();
        });
        launcher->Button2->click();
        QCOMPARE(seen.size(), size_t{2});
        QCOMPARE(plotWindow->Edit1->text(), QStringLiteral("2"));
        QVERIFY(launcher->StopRequested);
        QVERIFY(!QFile::exists(ResultFile()));
    }
};

QTEST_MAIN(TestTForm1)
#include "tst_tform1.moc"
