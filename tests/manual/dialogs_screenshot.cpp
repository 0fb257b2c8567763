// Draws the main menu window and the seven dialogs, as created, into one picture:
//   QT_QPA_PLATFORM=offscreen dialogs_screenshot docs/dialogs.png
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

#include "DynEnvt.h"
#include "Espece.h"
#include "IniEnvt.h"
#include "InitDistEsp.h"
#include "Menu.h"
#include "Sauvegarde.h"
#include "Simulation.h"
#include "sorties.h"

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc != 2) return 2;
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    // The file choosers start in the working directory: show one holding examples.
    QTemporaryDir examples(QDir::tempPath() + QStringLiteral("/exemples-XXXXXX"));
    if (!examples.isValid()) return 1;
    const char *const files[][2] = {
        {"espece.txt", "0.4 2 2 0 0 0.301 0 1 0 0.5\r\n"},
        {"milieu.txt", "1 1 33.5\r\n1 2 40\r\n"},
        {"faune.txt", "25 25 10\r\n25 26 4\r\n"},
    };
    for (const auto &file : files) {
        QFile out(examples.filePath(QString::fromLatin1(file[0])));
        if (!out.open(QIODevice::WriteOnly)) return 1;
        out.write(file[1]);
    }
    QDir::setCurrent(examples.path());
    glebix::Simul simul;
    glebix::MenuAndDialogs windows(simul);
    const glebix::ParameterDialogs d = windows.Dialogs();
    // Menu window on top, then the dialogs two by two.
    const QList<QWidget *> order = {&windows.Form4, d.Form5, d.Form6, d.Form7, d.Form8, d.Form9, d.Form10, d.Form12};

    constexpr int Gap = 12, TitleHeight = 22;
    QList<QPixmap> shots;
    for (QWidget *window : order) {
        window->show();
        shots << window->grab();
    }
    int width = 0, height = Gap;
    QList<QPoint> places;
    int x = Gap, rowHeight = 0;
    for (int k = 0; k < shots.size(); ++k) {
        const bool newRow = k == 0 || k == 1 || (k > 1 && (k - 1) % 2 == 0);
        if (newRow) {
            height += rowHeight;
            x = Gap;
            rowHeight = 0;
        }
        places << QPoint(x, height + TitleHeight);
        x += shots[k].width() + Gap;
        width = std::max(width, x);
        rowHeight = std::max(rowHeight, shots[k].height() + TitleHeight + Gap);
    }
    height += rowHeight;

    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(QColor(96, 96, 96));
    QPainter painter(&picture);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    for (int k = 0; k < shots.size(); ++k) {
        const QRect title(places[k].x(), places[k].y() - TitleHeight, shots[k].width(), TitleHeight);
        painter.fillRect(title, QColor(0, 0, 128));
        painter.setPen(Qt::white);
        painter.drawText(title.adjusted(6, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, order[k]->windowTitle());
        painter.drawPixmap(places[k], shots[k]);
    }
    painter.end();
    const bool saved = picture.save(output);
    return saved ? 0 : 1;
}
