// Letting pending window events run from inside the long loops of a run. The per-cell
// yield points come 12,500 times a step; handling events at each of them would cost
// more than the model itself, so those go through the throttled form, which handles
// events only when a few milliseconds have passed since they were last handled.
#pragma once

#include <chrono>

namespace glebix {

// Least time between two event-processing calls made through the throttled form.
inline constexpr std::chrono::milliseconds MessagePumpInterval{5};

// Lets every pending window event run, now.
void ProcessMessages();

// Lets pending window events run when MessagePumpInterval has passed since they last
// ran (through either form); otherwise returns at once.
void ProcessMessagesThrottled();

}  // namespace glebix
