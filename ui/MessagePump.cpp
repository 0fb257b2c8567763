#include "MessagePump.h"

#include <QCoreApplication>

namespace glebix {
namespace {
using Clock = std::chrono::steady_clock;
Clock::time_point lastPump{};
// Reading the clock costs about as much as a cell's work in a sparse plot, so it is
// read only at every ClockStride-th call; a stride of cells still takes far less
// than the interval.
constexpr int ClockStride = 16;
int callsSinceClock = 0;
}  // namespace

void PumpWindowEvents() {
    QCoreApplication::processEvents();
    lastPump = Clock::now();
}

void PumpWindowEventsThrottled() {
    if (++callsSinceClock < ClockStride) return;
    callsSinceClock = 0;
    if (Clock::now() - lastPump >= MessagePumpInterval) PumpWindowEvents();
}

}  // namespace glebix
