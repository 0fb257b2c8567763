// The chart window: axes, marker pixels and what clears the chart; the series it keeps
// and the context menu's exports.
#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>
#include <limits>
#include <memory>

#include "TestFiles.h"
#include "AfficheCase.h"
#include "ExportChecks.h"
#include "Outputs.h"
#include "Simul.h"

using namespace glebix;
using namespace glebix::testing;

namespace {

QRgb Pixel(const QImage &image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

QRgb SeriesColour(int series) {
    const Rgb c = ChartColours[series];
    return qRgb(c.r, c.g, c.b) & 0xFFFFFF;
}

// True when the 2 x 2 marker with top-left (x, y) has colour c.
bool IsMarker(const QImage &image, int x, int y, QRgb c) {
    return Pixel(image, x, y) == c && Pixel(image, x + 1, y) == c && Pixel(image, x, y + 1) == c &&
           Pixel(image, x + 1, y + 1) == c;
}

// Counts the pixels that are neither background nor black (the axes).
int MarkerPixels(const QImage &image, QRgb background) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = Pixel(image, x, y);
            if (p != background && p != 0) ++n;
        }
    return n;
}

}  // namespace

class TestTForm3 : public QObject {
    Q_OBJECT

private slots:
    void init() { simul = std::make_unique<Simul>(); }
    void cleanup() { simul.reset(); }

    void layoutAndAxes() {
        TForm3 form(*simul);
        QCOMPARE(form.windowTitle(), QStringLiteral("Une case"));
        QCOMPARE(form.frameGeometry(), QRect(538, 226, 485, 513));
        QVERIFY(!form.isVisible());
        const QImage &image = form.Picture();
        const QRgb background = Pixel(image, 10, 10);
        // The step axis from (30, 363) up to, not including, (455, 363).
        QCOMPARE(Pixel(image, 29, 363), background);
        for (int x = 30; x < 455; ++x) QCOMPARE(Pixel(image, x, 363), 0u);
        QCOMPARE(Pixel(image, 455, 363), background);
        // The value axis from (30, 30) up to, not including, (30, 483).
        QCOMPARE(Pixel(image, 30, 29), background);
        for (int y = 30; y < 483; ++y) QCOMPARE(Pixel(image, 30, y), 0u);
        QCOMPARE(Pixel(image, 30, 483), background);
        QCOMPARE(Pixel(image, 31, 362), background);
        QCOMPARE(Pixel(image, 31, 364), background);
    }

    // One marker at a time: the other four series are given values that put their
    // markers elsewhere (or off the picture), so the marker checked is not covered.
    void markerPositions_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("series");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("count 0, step 1") << 1 << 0 << 0.0 << 30 << 363;
        QTest::newRow("count 3") << 1 << 0 << 3.0 << 30 << 333;
        QTest::newRow("count 36, top row") << 1 << 0 << 36.0 << 30 << 3;
        QTest::newRow("step 2") << 2 << 0 << 1.0 << 32 << 353;
        QTest::newRow("step 4") << 4 << 0 << 1.0 << 32 << 353;
        QTest::newRow("step 5") << 5 << 0 << 1.0 << 34 << 353;
        QTest::newRow("step 300") << 300 << 0 << 1.0 << 230 << 353;
        QTest::newRow("compacted 33.5 to 34") << 1 << 1 << 33.5 << 30 << 295;
        QTest::newRow("compacted 32.5 to 32") << 1 << 1 << 32.5 << 30 << 299;
        QTest::newRow("compacted 100") << 1 << 1 << 100.0 << 30 << 163;
        QTest::newRow("compacted -10") << 1 << 1 << -10.0 << 30 << 383;
        QTest::newRow("decompacted 66.5 to 66") << 7 << 2 << 66.5 << 34 << 231;
        QTest::newRow("decompacted 0.5 to 0") << 1 << 2 << 0.5 << 30 << 363;
        QTest::newRow("mean count 1.0") << 1 << 3 << 1.0 << 30 << 353;
        QTest::newRow("mean compacted 20.5 to 20") << 1 << 4 << 20.5 << 30 << 323;
        QTest::newRow("mean compacted 21.5 to 22") << 1 << 4 << 21.5 << 30 << 319;
    }
    void markerPositions() {
        QFETCH(int, step);
        QFETCH(int, series);
        QFETCH(double, value);
        QFETCH(int, x);
        QFETCH(int, y);
        // Elsewhere: counts of 100 and shares of 250 lie above the picture.
        double args[5] = {100, 250, 250, 100, 250};
        args[series] = value;
        TForm3 form(*simul);
        const QImage before = form.Picture();
        form.DrawChartMarkers(step, static_cast<int>(args[0]), args[1], args[2], args[3], args[4]);
        const QImage &image = form.Picture();
        QVERIFY(IsMarker(image, x, y, SeriesColour(series)));
        // Exactly the 2 x 2 square changed, nothing else.
        int changed = 0;
        for (int py = 0; py < image.height(); ++py)
            for (int px = 0; px < image.width(); ++px) changed += image.pixel(px, py) != before.pixel(px, py);
        QVERIFY(changed <= 4);
        QCOMPARE(MarkerPixels(image, Pixel(before, 10, 10)), 4);
    }

    void laterSeriesCoverEarlier() {
        TForm3 form(*simul);
        // Count 1 and mean count 1.0 share a square: blue covers red. Compacted and
        // decompacted 50 share one: lime covers green; mean compacted 50 then navy.
        form.DrawChartMarkers(1, 1, 40, 40, 1.0, 60);
        QVERIFY(IsMarker(form.Picture(), 30, 353, SeriesColour(ChartMeanCount)));
        QVERIFY(IsMarker(form.Picture(), 30, 283, SeriesColour(ChartCellDecompacted)));
        form.DrawChartMarkers(1, 0, 50, 50, 0.0, 50);
        QVERIFY(IsMarker(form.Picture(), 30, 263, SeriesColour(ChartMeanCompacted)));
        QVERIFY(IsMarker(form.Picture(), 30, 363, SeriesColour(ChartMeanCount)));
    }

    void farValuesDrawNothing_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("share");
        QTest::newRow("largest count") << 1 << std::numeric_limits<int>::max() << 1e6;
        QTest::newRow("smallest count") << 1 << std::numeric_limits<int>::min() << -1e6;
        QTest::newRow("huge shares") << 1 << 1000000 << 4e18;
        QTest::newRow("huge negative shares") << 1 << 1000000 << -4e18;
        QTest::newRow("far step") << std::numeric_limits<int>::max() << 0 << 0.0;
        QTest::newRow("negative step") << -100 << 0 << 0.0;
    }
    void farValuesDrawNothing() {
        QFETCH(int, step);
        QFETCH(int, count);
        QFETCH(double, share);
        TForm3 form(*simul);
        const QImage before = form.Picture();
        form.DrawChartMarkers(step, count, share, share, count, share);
        QCOMPARE(form.Picture(), before);
    }

    void plotCellStepReadsTheChartCell() {
        Simul &sim = *simul;
        sim.ChartCellX = 8;
        sim.ChartCellY = 9;
        sim.Plot.Density[7][8] = 3;
        sim.Plot.Env[7][8] = {33.5, 66.5};
        sim.Plot.Density[8][7] = 30;  // the transposed cell must not be read
        sim.Plot.Env[8][7] = {90, 10};
        TForm3 form(*simul);
        form.PlotCellStep(2);
        const QImage &image = form.Picture();
        QVERIFY(IsMarker(image, 32, 333, SeriesColour(ChartCellCount)));
        QVERIFY(IsMarker(image, 32, 295, SeriesColour(ChartCellCompacted)));
        QVERIFY(IsMarker(image, 32, 231, SeriesColour(ChartCellDecompacted)));
        // Means 33/2500 and 123.5/2500 give v = 0: navy covers blue on the axis.
        QVERIFY(IsMarker(image, 32, 363, SeriesColour(ChartMeanCompacted)));
    }

    // The CSV of the series: the batch trace's column names, one row per step drawn,
    // reals in shortest round-trip form with a point whatever the locale.
    void seriesCsv() {
        QCOMPARE(ChartSeriesCsv({}), std::string("step,cell_density,cell_compacted,cell_decompacted,mean_density,"
                                                 "mean_compacted\n"));
        const std::string csv = ChartSeriesCsv({{1, 3, 33.5, 66.5, 0.0012, 40}, {2, -1, 0.1, 99.9, 1, 1e-300}});
        QCOMPARE(csv, std::string("step,cell_density,cell_compacted,cell_decompacted,mean_density,mean_compacted\n"
                                  "1,3,33.5,66.5,0.0012,40\n"
                                  "2,-1,0.1,99.9,1,1e-300\n"));
    }

    // Every step drawn is kept, including those off the picture; hiding by the program
    // (a run's start) forgets them, a resize does not.
    void seriesFollowTheSteps() {
        TForm3 form(*simul);
        form.show();
        form.DrawChartMarkers(1, 3, 33.5, 66.5, 1, 40);
        form.DrawChartMarkers(2, 500, 33.5, 66.5, 1, 40);
        QCOMPARE(form.Series().size(), size_t{2});
        QCOMPARE(form.Series()[1].Step, 2);
        QCOMPARE(form.Series()[1].Count, 500);
        QCOMPARE(form.Series()[1].MeanCompacted, 40.0);
        form.resize(form.width() + 10, form.height());
        QCOMPARE(form.Series().size(), size_t{2});
        form.hide();
        form.show();
        QVERIFY(form.Series().empty());
    }

    void exports() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TForm3 form(*simul);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.ChartMenu->actions().size(), 2);
        QCOMPARE(form.SaveImageAction->text(), QStringLiteral("Enregistrer l'image…"));
        QCOMPARE(form.ExportSeriesAction->text(), QStringLiteral("Exporter les séries (CSV)…"));
        form.DrawChartMarkers(1, 3, 33.5, 66.5, 1, 40);
        form.ExportSeriesAction->trigger();
        form.SaveImageAction->trigger();
        const std::vector<ChartSample> chosen = form.Series();
        const QImage picture = form.Picture();
        form.DrawChartMarkers(2, 4, 33.5, 66.5, 1, 40);  // the run goes on meanwhile
        QVERIFY(AcceptExportDialog(form, dir.filePath(QStringLiteral("case.png"))));
        QVERIFY(AcceptExportDialog(form, dir.filePath(QStringLiteral("series"))));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("series.csv")).toStdString()), ChartSeriesCsv(chosen));
        QCOMPARE(QImage(dir.filePath(QStringLiteral("case.png"))).convertToFormat(QImage::Format_RGB32), picture);
    }

    void hideClearsAndShowDrawsAxes() {
        TForm3 form(*simul);
        form.show();
        form.DrawChartMarkers(1, 3, 33.5, 66.5, 1, 40);
        const QRgb background = Pixel(form.Picture(), 10, 10);
        QVERIFY(MarkerPixels(form.Picture(), background) > 0);
        form.hide();
        form.show();
        QCOMPARE(MarkerPixels(form.Picture(), background), 0);
        QCOMPARE(Pixel(form.Picture(), 100, 363), 0u);
        QCOMPARE(Pixel(form.Picture(), 30, 100), 0u);
    }

    void resizeClearsThenAxesFollowTheSize() {
        TForm3 form(*simul);
        form.show();
        QCOMPARE(form.frameGeometry(), QRect(538, 226, 485, 513));
        form.DrawChartMarkers(1, 3, 33.5, 66.5, 1, 40);
        const QRgb background = Pixel(form.Picture(), 10, 10);
        form.resize(form.width() + 115, form.height() + 87);
        QCOMPARE(form.OuterWidth(), 600);
        QCOMPARE(form.OuterHeight(), 600);
        QCOMPARE(form.Picture().size(), form.size());
        QCOMPARE(MarkerPixels(form.Picture(), background), 0);
        QCOMPARE(Pixel(form.Picture(), 100, 363), background);
        // The axes follow the outer size: (30, 450) to (570, 450), (30, 30) to (30, 570).
        form.AffAxes();
        QCOMPARE(Pixel(form.Picture(), 569, 450), 0u);
        QCOMPARE(Pixel(form.Picture(), 570, 450), background);
        QCOMPARE(Pixel(form.Picture(), 30, 569), 0u);
        QCOMPARE(Pixel(form.Picture(), 30, 570), background);
    }

private:
    std::unique_ptr<Simul> simul;
};

QTEST_MAIN(TestTForm3)
#include "tst_tform3.moc"
