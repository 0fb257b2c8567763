// Management events: what a schedule does to a run at the start of a step, before
// reproduction. A schedule is read by the front ends (core/EventsFile.h) and handed to
// the engine whole: its events in file order and the cells of the masks they name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SettingsRegistry.h"

namespace glebix {

class Simul;

enum class EventAction {
    SetCompacted,  // the compacted share becomes the value, the decompacted share its complement
    AddCompacted,  // the value is added to the compacted share, held within 0 to 100
    RemoveFauna,   // each individual is removed with the value as probability
    Set,           // a setting read at every step takes the value
};

// The word of an action in a schedule and in a state file, and the action of a word.
const char *EventActionWord(EventAction action);
std::optional<EventAction> EventActionOf(std::string_view word);

// The `where` of an event that acts on every cell.
inline constexpr const char *EventEverywhere = "all";

struct ScheduledEvent {
    std::int32_t Step = 1;   // the first step it applies at, from 1
    std::int32_t Every = 0;  // 0: that step only; K: every K steps from it on
    EventAction Action = EventAction::SetCompacted;
    std::string Where;     // EventEverywhere, a mask as the schedule names it, or a setting's name (Set)
    double Value = 0;      // the share or the amount, for the cell actions
    SettingValue Setting;  // the setting's new value, of its member's type (Set)
    int Mask = -1;         // the mask of its cells in EventSchedule::Masks; -1: every cell

    bool AppliesAt(std::int32_t step) const {
        if (step < Step) return false;
        return Every == 0 ? step == Step : (step - Step) % Every == 0;
    }
};

// The cells a mask holds, in the plot's order (row i outside, column j inside).
struct EventMask {
    std::string Where;                 // as the schedule names it
    std::vector<std::uint8_t> Inside;  // 1 in, 0 out; one per cell of the plot
};

struct EventSchedule {
    std::vector<ScheduledEvent> Events;  // in the schedule's line order
    std::vector<EventMask> Masks;        // each mask once
};

// Applies the events of step `step` to `simul`, in the schedule's order. Only
// RemoveFauna draws, cell by cell in the plot's order with the count draw, and only
// for a probability strictly between 0 and 1; no event can fault.
void ApplyEvents(Simul &simul, const EventSchedule &schedule, std::int32_t step);

// Whether an event of step `step` changes the soil or a setting, which the counts and
// the generator kept before the step cannot give back.
bool EventsChangeMoreThanCountsAt(const EventSchedule &schedule, std::int32_t step);

// `settings` with every setting a Set event of `schedule` names given the values the
// run could hold at some step: the lowest one of those values and the settings' own.
// For the bounds a saved state is checked against (StateReach.h).
TSettings SettingsAnEventMayGive(const TSettings &settings, const EventSchedule &schedule);

}  // namespace glebix
