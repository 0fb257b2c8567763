// Checks shared by the dialog tests: a window's caption, place and size, one
// control's position, caption or text, and check state, looked up by its name, and
// the file panel of the two initial-condition dialogs.
#pragma once

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <functional>
#include <string>

#include "FileChooser.h"

namespace glebix::testing {

// Columns of a control table: name, position, caption or text (null for none),
// check state (-1 for a control without one).
inline void AddControlColumns() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("checked");
}

inline void AddControl(const char *name, QPoint at, const QString &text = QString(), int checked = -1) {
    QTest::newRow(name) << QString::fromLatin1(name) << at << text << checked;
}

inline void CheckControl(const QWidget &form) {
    QFETCH(QString, name);
    QFETCH(QPoint, at);
    QFETCH(QString, text);
    QFETCH(int, checked);
    const auto children = form.findChildren<QWidget *>(name);
    QCOMPARE(children.size(), 1);
    const QWidget *control = children.first();
    QCOMPARE(control->parentWidget(), &form);
    QCOMPARE(control->pos(), at);
    if (!text.isNull()) {
        if (auto *label = qobject_cast<const QLabel *>(control))
            QCOMPARE(label->text(), text);
        else if (auto *edit = qobject_cast<const QLineEdit *>(control))
            QCOMPARE(edit->text(), text);
        else if (auto *button = qobject_cast<const QAbstractButton *>(control))
            QCOMPARE(button->text(), text);
        else
            QFAIL("control without a text");
    }
    if (checked >= 0) {
        auto *button = qobject_cast<const QAbstractButton *>(control);
        QVERIFY(button);
        QCOMPARE(button->isChecked(), checked == 1);
    }
}

// A window as created: its caption, its frame's position and outer size, hidden.
inline void CheckWindow(const QWidget &window, const QString &caption, QPoint at, QSize size, bool shown) {
    QCOMPARE(window.windowTitle(), caption);
    QCOMPARE(window.frameGeometry().topLeft(), at);
    QCOMPARE(window.frameGeometry().size(), size);
    QCOMPARE(window.isVisible(), shown);
    QVERIFY(window.isWindow());
}

// The initial-condition dialogs' file panel: a double-click on a file of the list
// puts its full path into the path field and the setting; `fileChoice` (the
// dialog's handler) without a selection empties both.
inline void CheckInitialFilePanel(QWidget &form, FileChooser &chooser, const QLineEdit &pathField,
                                  const std::function<void()> &fileChoice, const std::string &setting) {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("initial.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    chooser.OpenDirectory(dir.path());
    QListWidget *files = chooser.FileListBox1;
    QCOMPARE(files->count(), 1);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(files->item(0)).center());
    const QString expected = QDir(dir.path()).absolutePath() + QStringLiteral("/initial.txt");
    QCOMPARE(pathField.text(), expected);
    QCOMPARE(setting, QFile::encodeName(expected).toStdString());
    files->clearSelection();
    fileChoice();
    QCOMPARE(pathField.text(), QString());
    QCOMPARE(setting, std::string());
}

}  // namespace glebix::testing
