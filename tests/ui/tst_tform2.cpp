// The plot window: its layout, the step field and the pixels of the density map; the
// cell tooltip, the click that chooses the chart cell and the context menu's exports.
#include <QAction>
#include <QMenu>
#include <QHelpEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolTip>
#include <QDir>
#include <QtTest>
#include <limits>
#include <memory>

#include "TestFiles.h"
#include "Affichage.h"
#include "ErrorBox.h"
#include "ExportChecks.h"
#include "Outputs.h"
#include "RunOutputs.h"
#include "Simul.h"

using namespace glebix;
using namespace glebix::testing;

namespace {

QRgb Pixel(const QImage &image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

QRgb AsQRgb(Rgb c) { return qRgb(c.r, c.g, c.b) & 0xFFFFFF; }

// Checks that the 7 x 7 square with top-left (left, top) has a black ring around a
// 5 x 5 interior of `fill`.
bool IsCell(const QImage &image, int left, int top, QRgb fill) {
    for (int y = top; y < top + 7; ++y) {
        for (int x = left; x < left + 7; ++x) {
            const bool edge = x == left || x == left + 6 || y == top || y == top + 6;
            if (Pixel(image, x, y) != (edge ? 0u : fill)) return false;
        }
    }
    return true;
}

}  // namespace

class TestTForm2 : public QObject {
    Q_OBJECT

private slots:
    void init() { simul = std::make_unique<Simul>(); }
    void cleanup() { simul.reset(); }

    void layout() {
        TForm2 form(*simul);
        QCOMPARE(form.windowTitle(), QStringLiteral("La parcelle"));
        QCOMPARE(form.frameGeometry(), QRect(2, 224, 534, 514));
        QCOMPARE(form.Edit1->geometry(), QRect(32, 32, 249, 21));
        QVERIFY(form.Edit1->text().isEmpty());
        QVERIFY(!form.isVisible());
    }

    void showStepNumber_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("text");
        QTest::newRow("first") << 1 << "1";
        QTest::newRow("last default") << 300 << "300";
        QTest::newRow("zero") << 0 << "0";
        QTest::newRow("negative") << -12 << "-12";
        QTest::newRow("largest") << std::numeric_limits<int>::max() << "2147483647";
        QTest::newRow("smallest") << std::numeric_limits<int>::min() << "-2147483648";
    }
    void showStepNumber() {
        QFETCH(int, step);
        QFETCH(QString, text);
        TForm2 form(*simul);
        form.ShowStepNumber(step);
        QCOMPARE(form.Edit1->text(), text);
    }

    // One cell per density class, in the bottom line of the map (column 1), row i.
    void classColours_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QColor>("colour");
        const struct {
            const char *name;
            int count;
            QColor colour;
        } rows[] = {
            {"0 white", 0, QColor(255, 255, 255)},
            {"1 silver", 1, QColor(192, 192, 192)},
            {"5 silver", 5, QColor(192, 192, 192)},
            {"6 gray", 6, QColor(128, 128, 128)},
            {"10 gray", 10, QColor(128, 128, 128)},
            {"11 blue", 11, QColor(0, 0, 255)},
            {"15 blue", 15, QColor(0, 0, 255)},
            {"16 green", 16, QColor(0, 128, 0)},
            {"20 green", 20, QColor(0, 128, 0)},
            {"21 yellow", 21, QColor(255, 255, 0)},
            {"100 yellow", 100, QColor(255, 255, 0)},
            {"101 purple", 101, QColor(128, 0, 128)},
            {"500 purple", 500, QColor(128, 0, 128)},
            {"501 red", 501, QColor(255, 0, 0)},
            {"1000 red", 1000, QColor(255, 0, 0)},
            {"1001 black", 1001, QColor(0, 0, 0)},
            {"10000 black", 10000, QColor(0, 0, 0)},
            {"above cap black", 25000000, QColor(0, 0, 0)},
            {"negative fuchsia", -1, QColor(255, 0, 255)},
        };
        for (const auto &row : rows) QTest::newRow(row.name) << row.count << row.colour;
    }
    void classColours() {
        QFETCH(int, count);
        QFETCH(QColor, colour);
        TForm2 form(*simul);
        // The count in cell (20, 1) with empty neighbours, whose squares must stay
        // intact beside it.
        simul->Plot.Density[19][0] = count;
        form.DrawDensityMap();
        const QImage &image = form.Picture();
        const int bottom = 514 - 60;
        const QRgb white = qRgb(255, 255, 255) & 0xFFFFFF;
        QVERIFY(IsCell(image, 30 + 7 * 19, bottom - 7, colour.rgb() & 0xFFFFFF));
        QVERIFY(IsCell(image, 30 + 7 * 18, bottom - 7, white));
        QVERIFY(IsCell(image, 30 + 7 * 20, bottom - 7, white));
        QVERIFY(IsCell(image, 30 + 7 * 19, bottom - 14, white));
    }

    void geometryAtDefaultHeight() {
        TForm2 form(*simul);
        simul->Plot.Density[0][0] = 1;     // cell (1, 1): bottom left
        simul->Plot.Density[49][49] = 11;  // cell (50, 50): top right
        simul->Plot.Density[1][0] = 6;     // cell (2, 1): right of (1, 1)
        simul->Plot.Density[0][1] = 16;    // cell (1, 2): above (1, 1)
        form.DrawDensityMap();
        const QImage &image = form.Picture();
        QVERIFY(IsCell(image, 30, 447, AsQRgb(DensityColour(1))));
        QVERIFY(IsCell(image, 37, 447, AsQRgb(DensityColour(6))));
        QVERIFY(IsCell(image, 30, 440, AsQRgb(DensityColour(16))));
        QVERIFY(IsCell(image, 373, 104, AsQRgb(DensityColour(11))));
        // Nothing is drawn outside x 30..379, y 104..453.
        const QRgb background = Pixel(image, 0, 0);
        for (int y = 100; y < 460; ++y) {
            QCOMPARE(Pixel(image, 29, y), background);
            QCOMPARE(Pixel(image, 380, y), background);
        }
        for (int x = 25; x < 385; ++x) {
            QCOMPARE(Pixel(image, x, 103), background);
            QCOMPARE(Pixel(image, x, 454), background);
        }
    }

    void mapFollowsTheWindowHeight() {
        TForm2 form(*simul);
        form.show();
        QCOMPARE(form.frameGeometry(), QRect(2, 224, 534, 514));  // the frame is taken from the client
        simul->Plot.Density[0][0] = 501;
        form.DrawDensityMap();
        QVERIFY(IsCell(form.Picture(), 30, 447, AsQRgb(DensityColour(501))));
        form.resize(form.width(), form.height() + 100);
        QCOMPARE(form.OuterHeight(), 614);
        // What was drawn keeps its place above the bottom edge...
        QVERIFY(IsCell(form.Picture(), 30, 547, AsQRgb(DensityColour(501))));
        // ... and the next map is drawn 60 px above the new outer bottom edge.
        simul->Plot.Density[0][0] = 0;
        form.DrawDensityMap();
        QVERIFY(IsCell(form.Picture(), 30, 547, AsQRgb(DensityColour(0))));
        // A window too small for the whole map clips it.
        form.resize(200, 200);
        form.DrawDensityMap();
        const int top = form.OuterHeight() - 60 - 7;
        QVERIFY(IsCell(form.Picture(), 30, top, AsQRgb(DensityColour(0))));
    }

    // Points of the default-sized window and the tooltip they show: cell (3, 4) holds
    // 12 individuals on 33.25 % compacted soil; one decimal, halves away from zero.
    void cellToolTip_data() {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<QString>("text");
        const QString cell34 = QStringLiteral("Ligne 3, colonne 4 : 12 individus ; tassé 33,3 % ; décompacté 66,8 %");
        QTest::newRow("inside (3, 4)") << QPoint(47, 429) << cell34;
        QTest::newRow("top-left pixel of (3, 4)") << QPoint(44, 426) << cell34;
        QTest::newRow("bottom-right pixel of (3, 4)") << QPoint(50, 432) << cell34;
        QTest::newRow("bottom-left cell")
            << QPoint(30, 453) << QStringLiteral("Ligne 1, colonne 1 : 0 individus ; tassé 0,0 % ; décompacté 0,0 %");
        QTest::newRow("top-right cell")
            << QPoint(379, 104)
            << QStringLiteral("Ligne 50, colonne 50 : -3 individus ; tassé 100,0 % ; décompacté 0,0 %");
        QTest::newRow("left of the map") << QPoint(29, 429) << QString();
        QTest::newRow("right of the map") << QPoint(380, 429) << QString();
        QTest::newRow("below the map") << QPoint(47, 454) << QString();
        QTest::newRow("above the map") << QPoint(47, 103) << QString();
    }
    void cellToolTip() {
        QFETCH(QPoint, pos);
        QFETCH(QString, text);
        simul->Plot.Density[2][3] = 12;
        simul->Plot.Env[2][3] = {33.25, 66.75};
        simul->Plot.Density[49][49] = -3;
        simul->Plot.Env[49][49] = {100, 0};
        TForm2 form(*simul);
        QCOMPARE(form.CellToolTip(pos), text);
    }

    // A click on a square writes its row and column into the chart cell texts, as
    // typing them into "Sorties" would; the tooltip then says so. Clicks beside the
    // map and other buttons change nothing.
    void clickChoosesTheNextChartCell() {
        TForm2 form(*simul);
        QSignalSpy chosen(&form, &TForm2::ChartCellChosen);
        QTest::mouseClick(&form, Qt::RightButton, {}, QPoint(47, 429));
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(20, 429));
        QCOMPARE(chosen.count(), 0);
        QCOMPARE(simul->Settings.Run.ChartCellX, std::string("8"));
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(47, 429));
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.first(), (QList<QVariant>{3, 4}));
        QCOMPARE(simul->Settings.Run.ChartCellX, std::string("3"));
        QCOMPARE(simul->Settings.Run.ChartCellY, std::string("4"));
        QVERIFY(form.CellToolTip({47, 429}).endsWith(QStringLiteral(" % (case du graphique au prochain lancement)")));
        QVERIFY(!form.CellToolTip({54, 429}).contains(QStringLiteral("prochain")));
        // The current run's chart cell is not changed.
        QCOMPARE(simul->ChartCellX, 0);
        // A text typed that set-up bounds onto the grid marks the cell it gives.
        simul->Settings.Run.ChartCellX = "99";
        simul->Settings.Run.ChartCellY = "0";
        QVERIFY(form.CellToolTip({373, 453}).contains(QStringLiteral("prochain")));
    }

    void toolTipEventShowsTheCell() {
        simul->Plot.Density[0][0] = 7;
        TForm2 form(*simul);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QHelpEvent inside(QEvent::ToolTip, QPoint(33, 450), form.mapToGlobal(QPoint(33, 450)));
        QApplication::sendEvent(&form, &inside);
        QTRY_COMPARE(QToolTip::text(), form.CellToolTip({33, 450}));
        QHelpEvent outside(QEvent::ToolTip, QPoint(5, 5), form.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&form, &outside);
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    // The context menu's exports: the picture as PNG, the grids exactly as the batch
    // tool writes them, taken when the item is chosen, and written when the dialog is
    // accepted; a failed write shows the error box with the file as its details.
    void exports() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        simul->Plot.Density[4][5] = 30;
        simul->Plot.Env[4][5] = {12.5, 87.5};
        TForm2 form(*simul);
        form.show();  // as in a run: the dialogs are the window's own
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.DrawDensityMap();
        QCOMPARE(form.MapMenu->actions().size(), 2);
        QCOMPARE(form.SaveImageAction->text(), QStringLiteral("Enregistrer l'image…"));
        QCOMPARE(form.ExportGridsAction->text(), QStringLiteral("Exporter les grilles…"));

        form.SaveImageAction->trigger();
        form.ExportGridsAction->trigger();
        const TPlot chosen = simul->Plot;
        simul->Plot.Density[4][5] = 0;  // the run goes on while the dialogs are open
        form.DrawDensityMap();
        QVERIFY(AcceptExportDialog(form, dir.path()));
        QCOMPARE(ReadAll(dir.filePath("density.asc").toStdString()), core::DensityAsc(chosen));
        QCOMPARE(ReadAll(dir.filePath("compacted.asc").toStdString()), core::CompactedAsc(chosen));
        const QString png = dir.filePath(QStringLiteral("carte.png"));
        QVERIFY(AcceptExportDialog(form, png));
        const QImage saved(png);
        QVERIFY(!saved.isNull());
        QVERIFY(IsCell(saved, 30 + 7 * 4, 454 - 7 * 6, AsQRgb(DensityColour(30))));
        QVERIFY(IsCell(form.Picture(), 30 + 7 * 4, 454 - 7 * 6, AsQRgb(DensityColour(0))));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);  // no temporary file left

        QStringList boxes;
        SetErrorBoxHandler([&boxes](const std::string &text, const std::string &details) {
            boxes << QString::fromStdString(text + "|" + details);
        });
        form.SaveImageAction->trigger();
        const QString missing = dir.filePath(QStringLiteral("absent/carte.png"));
        QVERIFY(AcceptExportDialog(form, missing));
        SetErrorBoxHandler({});
        QCOMPARE(boxes, QStringList{QStringLiteral("Nom de fichier incorrect.|« ") + missing + QStringLiteral(" »")});
    }

    void yieldsTwicePerCell() {
        TForm2 form(*simul);
        int yields = 0;
        simul->ProcessMessages = [&yields] { ++yields; };
        form.DrawDensityMap();
        QCOMPARE(yields, 2 * CellCount);
    }

private:
    std::unique_ptr<Simul> simul;
};

QTEST_MAIN(TestTForm2)
#include "tst_tform2.moc"
