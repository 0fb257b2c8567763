// Qt's own French texts in the standard dialogs the program opens, and no change and
// no message where they are missing.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "ErrorBox.h"
#include "QtFrench.h"

using namespace glebix;

namespace {

int messages = 0;
void CountMessage(QtMsgType, const QMessageLogContext &, const QString &) { ++messages; }

// The texts a file dialog, a button box and the error box show.
QStringList StandardTexts() {
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    QDialogButtonBox box(QDialogButtonBox::Save | QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    const auto error = MakeErrorBox("Fichier introuvable", "ligne 3", nullptr);
    QStringList errorButtons;
    for (QAbstractButton *button : error->buttons()) errorButtons << button->text();
    errorButtons.sort();
    return {errorButtons.join(QLatin1Char('|')), files.findChild<QLabel *>(QStringLiteral("fileNameLabel"))->text(),
            box.button(QDialogButtonBox::Save)->text(), box.button(QDialogButtonBox::Cancel)->text(),
            box.button(QDialogButtonBox::Open)->text()};
}

}  // namespace

class TestQtFrench : public QObject {
    Q_OBJECT
private slots:
    // A system without the translations: the English texts stay, and nothing is said.
    void missingTranslationsChangeNothing() {
        const QStringList before = StandardTexts();
        QTemporaryDir empty;
        const QtMessageHandler previous = qInstallMessageHandler(CountMessage);
        QVERIFY(!InstallQtFrench(*qApp, empty.path()));
        qInstallMessageHandler(previous);
        QCOMPARE(messages, 0);
        QCOMPARE(StandardTexts(), before);
    }

    void standardDialogsInFrench() {
        QVERIFY(InstallQtFrench(*qApp));
        QCOMPARE(StandardTexts(),
                 (QStringList{"Montrer les détails...|OK", "&Nom de fichier :", "Enregistrer", "Annuler", "Ouvrir"}));
    }
};

QTEST_MAIN(TestQtFrench)
#include "tst_qtfrench.moc"
