#include "Glebix1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "AfficheCase.h"
#include "Affichage.h"
#include "Conversions.h"
#include "DialogControls.h"
#include "ErrorBox.h"
#include "Errors.h"
#include "MessagePump.h"
#include "RunSession.h"
#include "Simul.h"
#include "WindowPlacement.h"

namespace glebix {

TForm1::TForm1(Simul &simul, QWidget *parent)
    : OuterSizedWindow(parent),
      Edit1(new QLineEdit(QStringLiteral("Programme de simulations Glebix"), this)),
      Button1(new QPushButton(QStringLiteral(" Quitter"), this)),
      Button2(new QPushButton(QStringLiteral("Simulations"), this)),
      Button3(new QPushButton(QStringLiteral("Stopper les simulations"), this)),
      simul_(simul) {
    setWindowTitle(QStringLiteral("Lanceur"));
    SetOuterGeometry(QRect(780, 3, 241, 165));
    Edit1->setGeometry(8, 8, 217, 21);
    Button1->setGeometry(8, 56, 105, 33);
    QFont bold = Button1->font();
    bold.setBold(true);
    Button1->setFont(bold);
    Button2->setGeometry(8, 88, 73, 33);
    Button3->setGeometry(112, 56, 113, 33);
    FitTextToWidth(Button3, Button3->width());  // the caption is wider than the button at the usual size
    Button3->setEnabled(false);

    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
}

void TForm1::SetOutputWindows(TForm2 *plotWindow, TForm3 *chartWindow) {
    plotWindow_ = plotWindow;
    chartWindow_ = chartWindow;
}

void TForm1::Button1Click() {
    StopRequested = true;
    // Ends the event loop at its next turn; a run in progress first finishes its step.
    QCoreApplication::exit(0);
}

void TForm1::Button2Click() {
    if (running_) return;
    StopRequested = false;
    Button3->setEnabled(true);
    // No run inside a run: "Simulations" is off until this one ends, however it ends.
    running_ = true;
    Button2->setEnabled(false);
    struct RunEnd {
        TForm1 *form;
        ~RunEnd() {
            form->running_ = false;
            form->Button2->setEnabled(true);
        }
    };
    try {
        RunEnd runEnd{this};
        RunSimulations();
    } catch (const GlebixError &error) { ShowErrorBox(error); }
}

void TForm1::Button3Click() { StopRequested = true; }

void TForm1::RunSimulations() {
    Simul &sim = simul_;
    const RunSettings &run = sim.Settings.Run;  // flags are read at each use: the dialogs change them live
    StepCount = FieldToInteger(run.StepCount);
    PumpWindowEvents();
    if (run.ShowCellChart) chartWindow_->show();
    chartWindow_->RepaintNow();

    // Hiding and showing again clears the previous run's chart.
    chartWindow_->hide();
    chartWindow_->show();
    core::RunSession session(sim, StepCount);
    manifest_.SetUpRun(sim, Seed);
    session.AdoptSetUp();
    manifest_.Follow(session);
    ShowInFront(plotWindow_);

    for (std::int64_t step = 1; step <= StepCount; ++step) {
        StepIndex = static_cast<std::int32_t>(step);
        PumpWindowEvents();
        if (StopRequested) break;
        Edit1->setText(QStringLiteral("Simulations en cours"));
        RepaintNow();
        session.Step();
        plotWindow_->ShowStepNumber(StepIndex);
        chartWindow_->RepaintNow();
        ShowInFront(chartWindow_);
        plotWindow_->RepaintNow();
        RepaintNow();
        if (run.ShowDensityMap) plotWindow_->DrawDensityMap();
        if (run.ShowCellChart) chartWindow_->PlotCellStep(StepIndex);
        if (StepIndex == StepCount) {
            Edit1->setText(QStringLiteral("Simulations finies"));
            Button3->setEnabled(false);
            if (run.SaveResults) SaveResults();
        }
    }
    PumpWindowEvents();
}

void TForm1::SaveResults() {
    simul_.WriteResultFile();
    // The file lists show the result file even when its manifest cannot be written.
    const QString path = QFile::decodeName(QByteArray::fromStdString(simul_.ResultFilePath()));
    try {
        manifest_.Write(simul_, StepCount, StepIndex);
    } catch (...) {
        emit ResultFileWritten(path);
        throw;
    }
    emit ResultFileWritten(path);
}

void TForm1::closeEvent(QCloseEvent *event) {
    // Closing the main window ends the program, like " Quitter": a run in progress
    // stops at its next step boundary instead of going on unseen.
    Button1Click();
    event->accept();
}

}  // namespace glebix
