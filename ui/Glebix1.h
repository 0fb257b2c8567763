// The launcher "Lanceur", the program's main window, with the run driver: a run sets
// up the plot, then advances it step by step, showing the step number, the density
// map and the cell chart after every step, and writes the result file at the end
// when saving is on. Window events run at fixed points of the run, so the buttons
// (and the dialogs) work while it proceeds.
#pragma once

#include <cstdint>
#include <optional>

#include "OuterSizedWindow.h"
#include "RunManifest.h"
#include "Simul.h"

class QCloseEvent;
class QLineEdit;
class QPushButton;

namespace glebix {

class TForm2;
class TForm3;

class TForm1 : public OuterSizedWindow {
    Q_OBJECT

public:
    explicit TForm1(Simul &simul, QWidget *parent = nullptr);

    // The plot window and the chart window that runs show and draw into.
    void SetOutputWindows(TForm2 *plotWindow, TForm3 *chartWindow);

    // " Quitter": stops a run at its next step boundary and ends the program.
    void Button1Click();
    // "Simulations": runs a simulation. Engine errors end the run and are shown in
    // the error box. Refused while a run is in progress.
    void Button2Click();
    // "Stopper les simulations": the run stops before its next step.
    void Button3Click();

    // The run itself; engine errors propagate to the caller.
    void RunSimulations();

    bool Running() const { return running_; }

signals:
    // The result file has just been written to `path`.
    void ResultFileWritten(const QString &path);

public:
    QLineEdit *Edit1;      // the status text
    QPushButton *Button1;  // " Quitter"
    QPushButton *Button2;  // "Simulations"
    QPushButton *Button3;  // "Stopper les simulations"

    std::int32_t StepCount = 0;  // steps of the current run, read when it starts
    std::int32_t StepIndex = 0;  // the step being run, from 1
    bool StopRequested = false;  // the run stops before its next step
    // Generator seed for the next runs; empty seeds from the clock (tests fix it).
    std::optional<std::uint32_t> Seed;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Writes the result file and its manifest beside it.
    void SaveResults();

    Simul &simul_;
    RunManifest manifest_;  // of the run in progress
    TForm2 *plotWindow_ = nullptr;
    TForm3 *chartWindow_ = nullptr;
    bool running_ = false;
};

}  // namespace glebix
