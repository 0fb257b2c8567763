// The schedule of management events (the EventsFilePath setting): a CSV file whose
// header is step,every,action,where,value, one event a line, applied in line order at
// the start of their steps (engine/Events.h). Blank lines and lines whose first
// non-blank character is '#' are skipped; a UTF-8 byte-order mark, CR line ends and
// quoted fields are taken as in a design file. Every value is checked here, and every
// problem names the file, the line and the column.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Events.h"

namespace glebix::core {

// The header's names, in their order.
inline constexpr const char *EventColumns[] = {"step", "every", "action", "where", "value"};
// The column of an event's first step, and the one that names a cell action's mask.
inline constexpr const char *EventStepColumn = EventColumns[0];
inline constexpr const char *EventWhereColumn = EventColumns[3];

struct ParsedEvents {
    // The events, their masks listed once each by their `where` without their cells.
    EventSchedule Schedule;
    std::vector<std::string> MaskPaths;    // each mask's file, by MaskFilePath
    std::vector<std::int64_t> MaskLines;   // the line that first names each mask
    std::vector<std::int64_t> EventLines;  // the line of each event
    std::vector<std::string> Problems;     // "<file>:<line>: column <name>: ..." each
};

// Reads a schedule from its bytes; `path` names it in the problems and places the masks.
// Takes any bytes; never throws except for lack of memory.
ParsedEvents ParseEventsText(std::string_view text, const std::string &path);

// The file of the mask that a schedule at `schedulePath` names `where`: a relative path
// lies in the schedule's folder.
std::string MaskFilePath(const std::string &schedulePath, const std::string &where);

// "<file>:<line>: column <name>: ", which the schedule's problems begin with.
std::string EventsPlace(const std::string &path, std::int64_t line, std::string_view column);

}  // namespace glebix::core
