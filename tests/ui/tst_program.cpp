// The program as it ships (build/glebix, its own start and end), driven from inside
// by the test driver plugin (driver/ProgramDriver.cpp): each way out ends it with
// status 0 within a few seconds, and a finished run's result file is whole.
#include <QProcess>
#include <QtTest>

#include "Manifest.h"
#include "ResultFile.h"
#include "TestFiles.h"

using namespace glebix;
using namespace glebix::testing;

namespace {
constexpr int EndMilliseconds = 10000;

QStringList Entries(const ScratchDir &dir) {
    QStringList names;
    for (const std::string &name : dir.Entries()) names << QString::fromStdString(name);
    return names;
}
}  // namespace

class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void waysOut_data() {
        const QString result = QString::fromStdString(ResultFileName());
        const QString manifest = QString::fromStdString(core::ManifestPathBeside(ResultFileName()));
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("Quitter sans simulation") << "quitter"
                                                 << "Quitter ; état : Programme de simulations Glebix" << QStringList{};
        QTest::newRow("Quitter après les simulations")
            << "fin"
            << "Quitter ; état : Simulations finies" << QStringList{manifest, result};
        QTest::newRow("Quitter pendant les simulations") << "pendant"
                                                         << "Quitter ; état : Simulations en cours" << QStringList{};
        QTest::newRow("fermer le lanceur") << "fermer"
                                           << "fermer" << QStringList{};
        QTest::newRow("Quitter deux fois pendant les simulations")
            << "deux-fois"
            << "Quitter deux fois ; état : Simulations en cours" << QStringList{};
    }
    void waysOut() {
        QFETCH(QString, way);
        QFETCH(QString, said);
        QFETCH(QStringList, files);
        ScratchDir dir;
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(GLEBIX_DRIVER_PLUGINS));
        environment.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("glebixdriver:") + way);
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(QString::fromStdString(dir.Path()));
        program.start(QStringLiteral(GLEBIX_PROGRAM), {});
        const bool ended = program.waitForFinished(EndMilliseconds);
        const QString output = QString::fromUtf8(program.readAllStandardError());
        if (!ended) program.kill();
        QVERIFY2(ended, qPrintable(output));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(output.contains(QStringLiteral("glebix-driver: ") + said + QLatin1Char('\n')), qPrintable(output));
        QCOMPARE(Entries(dir), files);
        if (!files.isEmpty()) RepeatedAlike(dir);
    }

private:
    // The batch tool repeats the run from its manifest into the same result file.
    static void RepeatedAlike(const ScratchDir &dir) {
        const std::string result = dir / ResultFileName();
        ScratchDir again;
        const int status = QProcess::execute(
            QStringLiteral(GLEBIX_BATCH_PROGRAM),
            {QStringLiteral("--repeat"), QString::fromStdString(core::ManifestPathBeside(result)),
             QStringLiteral("--out"), QString::fromStdString(again.Path()), QStringLiteral("--quiet")});
        QCOMPARE(status, 0);
        QVERIFY(ReadAll(again / ResultFileName()) == ReadAll(result));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
