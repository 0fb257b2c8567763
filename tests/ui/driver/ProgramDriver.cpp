// Drives the shipped program from inside its own process, for the whole-program tests.
// Qt loads this generic plugin into build/glebix when QT_PLUGIN_PATH names the folder
// above its "generic" folder and QT_QPA_GENERIC_PLUGINS names "glebixdriver:<way out>".
// It is built beside the tests and never installed, so a user's program never loads
// it; it only types into fields, presses buttons and closes the launcher as a user
// would, and says on the standard error what the launcher's status read when it left.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGenericPlugin>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <utility>

namespace {

constexpr int PollMilliseconds = 10;
const QString RunningStatus = QStringLiteral("Simulations en cours");

QWidget *TopLevel(const QString &title) {
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->windowTitle() == title) return window;
    return nullptr;
}

template <typename Control>
Control *In(const QString &title, const char *name) {
    QWidget *window = TopLevel(title);
    return window ? window->findChild<Control *>(QString::fromLatin1(name)) : nullptr;
}

class ProgramDriver : public QObject {
public:
    explicit ProgramDriver(const QString &way) : way_(way) {
        connect(&poll_, &QTimer::timeout, this, &ProgramDriver::Tick);
        poll_.start(PollMilliseconds);
    }

private:
    void Tick() {
        if (!launcher_) {
            launcher_ = TopLevel(QStringLiteral("Lanceur"));
            if (launcher_ && launcher_->isVisible())
                Begin();
            else
                launcher_ = nullptr;
        } else if (quitPressesWhenRunning_ > 0 && Status() == RunningStatus) {
            Quit(std::exchange(quitPressesWhenRunning_, 0));
        }
    }

    void Begin() {
        if (way_ == QLatin1String("quitter")) {
            Quit(1);
        } else if (way_ == QLatin1String("fermer")) {
            Say(QStringLiteral("fermer"));
            QCloseEvent close;
            QCoreApplication::sendEvent(launcher_->windowHandle(), &close);
        } else if (way_ == QLatin1String("fin")) {
            SaveInWorkingFolder(QStringLiteral("5"));
            QTimer::singleShot(0, this, [this] {
                Press(QStringLiteral("Simulations"));  // returns when the run has ended
                Quit(1);
            });
        } else {
            SaveInWorkingFolder(QStringLiteral("300"));
            quitPressesWhenRunning_ = way_ == QLatin1String("pendant") ? 1 : 2;
            QTimer::singleShot(0, this, [this] { Press(QStringLiteral("Simulations")); });
        }
    }

    // Saving on into the current folder, and the run's step count, typed in the dialogs.
    void SaveInWorkingFolder(const QString &steps) {
        In<QLineEdit>(QStringLiteral("Sauvegarde"), "Edit1")->setText(QDir::currentPath());
        In<QCheckBox>(QStringLiteral("Sauvegarde"), "CheckBox1")->setChecked(true);
        In<QLineEdit>(QStringLiteral("Paramètres de la simulation"), "Edit1")->setText(steps);
    }

    void Quit(int presses) {
        Say((presses == 1 ? QStringLiteral("Quitter") : QStringLiteral("Quitter deux fois")) +
            QStringLiteral(" ; état : ") + Status());
        for (int k = 0; k < presses; ++k) Press(QStringLiteral(" Quitter"));
    }

    void Press(const QString &caption) {
        for (QPushButton *button : launcher_->findChildren<QPushButton *>())
            if (button->text() == caption) QTest::mouseClick(button, Qt::LeftButton);
    }

    QString Status() const { return launcher_->findChild<QLineEdit *>()->text(); }

    static void Say(const QString &what) {
        std::fprintf(stderr, "glebix-driver: %s\n", what.toUtf8().constData());
        std::fflush(stderr);
    }

    QString way_;
    QTimer poll_;
    QWidget *launcher_ = nullptr;
    int quitPressesWhenRunning_ = 0;
};

class ProgramDriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "glebixdriver.json")
public:
    QObject *create(const QString &, const QString &way) override { return new ProgramDriver(way); }
};

}  // namespace

#include "ProgramDriver.moc"
