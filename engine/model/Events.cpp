#include "Events.h"

#include <algorithm>
#include <type_traits>

#include "Conversions.h"
#include "FloatChecks.h"
#include "Simul.h"

namespace glebix {

namespace {

// The bounds of a share of the soil, in percent of the cell's soil.
constexpr long double LowestShare = 0;
constexpr long double HighestShare = 100;

struct ActionWord {
    EventAction action;
    const char *word;
};
constexpr ActionWord ActionWords[] = {
    {EventAction::SetCompacted, "set_compacted"},
    {EventAction::AddCompacted, "add_compacted"},
    {EventAction::RemoveFauna, "remove_fauna"},
    {EventAction::Set, "set"},
};

// Calls `act(cell)` for every cell the event acts on, in the plot's order.
template <typename Act>
void ForCells(const Simul &simul, const EventSchedule &schedule, const ScheduledEvent &event, Act act) {
    const int cells = simul.Plot.Cells();
    if (event.Mask < 0) {
        for (int cell = 0; cell < cells; ++cell) act(cell);
        return;
    }
    const std::vector<std::uint8_t> &inside = schedule.Masks.at(static_cast<std::size_t>(event.Mask)).Inside;
    for (int cell = 0; cell < cells; ++cell)
        if (inside[static_cast<std::size_t>(cell)]) act(cell);
}

void RemoveFauna(Simul &simul, const EventSchedule &schedule, const ScheduledEvent &event) {
    const double p = event.Value;
    if (p <= 0) return;  // nobody is removed: no draw
    std::int32_t *counts = simul.Plot.Density.Data();
    ForCells(simul, schedule, event, [&](int cell) {
        std::int32_t &count = counts[cell];
        if (count <= 0) return;
        count -= p >= 1 ? count : simul.DrawCount(count, p);
    });
}

void SetSetting(Simul &simul, const ScheduledEvent &event) {
    if (!simul.SettingsBeforeEvents) simul.SettingsBeforeEvents = simul.Settings;
    VisitSettings(simul.Settings, [&event](const SettingRow &row, auto &member) {
        using Member = std::remove_cvref_t<decltype(member)>;
        if (row.name != event.Where) return;
        if (const Member *value = std::get_if<Member>(&event.Setting)) member = *value;
    });
}

void ApplyEvent(Simul &simul, const EventSchedule &schedule, const ScheduledEvent &event) {
    TCellEnv *env = simul.Plot.Env.Data();
    switch (event.Action) {
    case EventAction::SetCompacted:
        ForCells(simul, schedule, event, [&](int cell) { env[cell] = HomogeneousCellEnv(event.Value); });
        break;
    case EventAction::AddCompacted:
        ForCells(simul, schedule, event, [&](int cell) {
            const long double sum = static_cast<long double>(env[cell].Compacted) + event.Value;
            env[cell] = HomogeneousCellEnv(StoreDouble(std::clamp(sum, LowestShare, HighestShare)));
        });
        break;
    case EventAction::RemoveFauna:
        RemoveFauna(simul, schedule, event);
        break;
    case EventAction::Set:
        SetSetting(simul, event);
        break;
    }
}

}  // namespace

const char *EventActionWord(EventAction action) {
    for (const ActionWord &w : ActionWords)
        if (w.action == action) return w.word;
    return "";
}

std::optional<EventAction> EventActionOf(std::string_view word) {
    for (const ActionWord &w : ActionWords)
        if (word == w.word) return w.action;
    return std::nullopt;
}

void ApplyEvents(Simul &simul, const EventSchedule &schedule, std::int32_t step) {
    for (const ScheduledEvent &event : schedule.Events)
        if (event.AppliesAt(step)) ApplyEvent(simul, schedule, event);
}

bool EventsChangeMoreThanCountsAt(const EventSchedule &schedule, std::int32_t step) {
    return std::any_of(schedule.Events.begin(), schedule.Events.end(), [step](const ScheduledEvent &e) {
        return e.Action != EventAction::RemoveFauna && e.AppliesAt(step);
    });
}

TSettings SettingsAnEventMayGive(const TSettings &settings, const EventSchedule &schedule) {
    TSettings out = settings;
    for (const ScheduledEvent &event : schedule.Events) {
        if (event.Action != EventAction::Set) continue;
        const std::string *text = std::get_if<std::string>(&event.Setting);
        if (!text) continue;
        VisitSettings(out, [&](const SettingRow &row, auto &member) {
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(member)>, std::string>)
                if (row.name == event.Where && FieldToReal(*text) < FieldToReal(member)) member = *text;
        });
    }
    return out;
}

}  // namespace glebix
