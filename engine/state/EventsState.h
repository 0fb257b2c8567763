// A run's schedule of management events in its state file, so that a resumed run meets
// the events an unbroken run meets, without reading the schedule or its masks again.
// After the plot's extent, in a state of version EventsStateVersion:
//   events <number of events> <number of masks>
//   per event: event <step> <every> <action>, event_where <quoted text>, and
//     event_value <the share, or the setting's value as a setting line gives it>
//   per mask: mask <quoted text>, then one line per row i of the plot, one character
//     per column j: 1 inside, 0 outside
// The step reached tells which events are behind the run; the settings an event
// changed are among the settings.
#pragma once

#include <memory>
#include <string>

#include "Events.h"
#include "StateLines.h"

namespace glebix {

// Appends the section of `schedule` for a plot of `width` x `height` cells.
void AppendEventsSection(std::string &out, const EventSchedule &schedule, int width, int height);

// Reads the section; `check` (if any) checks a Set event's value as a setting line's.
// A fault is raised on the line at fault.
std::shared_ptr<const EventSchedule> ReadEventsSection(state::LineCursor &lines, int width, int height,
                                                       std::optional<std::string> (*check)(std::string_view name,
                                                                                           std::string_view text));

}  // namespace glebix
