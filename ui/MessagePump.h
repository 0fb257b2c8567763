// Letting pending window events run from inside the long loops of a run. The per-cell
// yield points come 12,500 times a step; handling events at each of them would cost
// more than the model itself, so those go through the throttled form, which handles
// events only when a few milliseconds have passed since they were last handled. The
// program installs the throttled form as the engine's Simul::ProcessMessages hook; the
// run driver and the chart call the unthrottled form at their once-per-step points.
#pragma once

#include <chrono>

namespace glebix {

// Least time between two event-processing calls made through the throttled form.
inline constexpr std::chrono::milliseconds MessagePumpInterval{5};

// Lets every pending window event run, now.
void PumpWindowEvents();

// Lets pending window events run when MessagePumpInterval has passed since they last
// ran (through either form); otherwise returns at once.
void PumpWindowEventsThrottled();

}  // namespace glebix
