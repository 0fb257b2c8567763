// Times one run through the launcher, with the plot and chart windows drawing after
// every step and the throttled event processing of the program, against the same run
// on the engine alone (same seed and settings). Not a test: run it by hand, e.g.
//   QT_QPA_PLATFORM=offscreen build/tests/manual/time_window_run [steps] [seed]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <time.h>

#include "AfficheCase.h"
#include "Affichage.h"
#include "Conversions.h"
#include "Glebix1.h"
#include "MessagePump.h"
#include "Simul.h"

using namespace glebix;

namespace {
// Processor time of the whole process (all threads), less sensitive than the wall
// clock to other work on the machine.
double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
}  // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const std::string steps = argc > 1 ? argv[1] : "300";
    const auto seed = static_cast<std::uint32_t>(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1);
    using Clock = std::chrono::steady_clock;

    Simul sim;
    sim.Settings.Run.StepCount = steps;
    sim.ProcessMessages = PumpWindowEventsThrottled;
    TForm1 launcher(sim);
    TForm2 plotWindow(sim);
    TForm3 chartWindow(sim);
    launcher.SetOutputWindows(&plotWindow, &chartWindow);
    launcher.Seed = seed;
    launcher.show();
    QCoreApplication::processEvents();

    const auto windowStart = Clock::now();
    const double windowCpuStart = ProcessSeconds();
    launcher.Button2Click();
    const std::chrono::duration<double> windowTime = Clock::now() - windowStart;
    const double windowCpu = ProcessSeconds() - windowCpuStart;

    Simul engineOnly;
    engineOnly.Settings = sim.Settings;
    const auto engineStart = Clock::now();
    const double engineCpuStart = ProcessSeconds();
    engineOnly.SetUpRun(seed);
    for (long k = 0, n = std::strtol(steps.c_str(), nullptr, 10); k < n; ++k) engineOnly.TimeStep();
    const std::chrono::duration<double> engineTime = Clock::now() - engineStart;
    const double engineCpu = ProcessSeconds() - engineCpuStart;

    const bool same =
        std::equal(&sim.Plot.Density[0][0], &sim.Plot.Density[0][0] + CellCount, &engineOnly.Plot.Density[0][0]);
    // Printed without the locale's decimal comma.
    const auto text = [](double x) { return FormatShortest(static_cast<double>(static_cast<long>(x * 1000)) / 1000); };
    std::printf(
        "steps %s seed %u: windows %s s (processor %s s), engine only %s s (processor %s s), ratio %s, "
        "same plot: %s\n",
        steps.c_str(), seed, text(windowTime.count()).c_str(), text(windowCpu).c_str(),
        text(engineTime.count()).c_str(), text(engineCpu).c_str(),
        text(windowTime.count() / engineTime.count()).c_str(), same ? "yes" : "NO");
    sim.ProcessMessages = nullptr;
    return same ? 0 : 1;
}
