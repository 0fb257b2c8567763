#include "EventsState.h"

#include <algorithm>
#include <variant>

#include "StateValues.h"

namespace glebix {

namespace {

using state::AppendNumber;
using state::AppendValue;
using state::LineCursor;
using state::ParseNumber;
using state::ParseValue;

constexpr char InsideMark = '1';
constexpr char OutsideMark = '0';

void AppendSettingValue(std::string &out, const SettingValue &value) {
    std::visit(
        [&out](const auto &v) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(v)>, std::monostate>) AppendValue(out, v);
        },
        value);
}

void AppendEvent(std::string &out, const ScheduledEvent &event) {
    out += "event ";
    AppendNumber(out, event.Step);
    out += ' ';
    AppendNumber(out, event.Every);
    out += ' ';
    out += EventActionWord(event.Action);
    out += "\nevent_where ";
    AppendValue(out, event.Where);
    out += "\nevent_value ";
    if (event.Action == EventAction::Set)
        AppendSettingValue(out, event.Setting);
    else
        AppendValue(out, event.Value);
    out += '\n';
}

// "<step> <every> <action>" of an event line.
void ReadEventHead(LineCursor &lines, ScheduledEvent &event) {
    std::string_view text = lines.Keyed("event");
    const auto first = text.find(' ');
    const auto second = first == std::string_view::npos ? first : text.find(' ', first + 1);
    const auto action = second == std::string_view::npos ? std::nullopt : EventActionOf(text.substr(second + 1));
    if (!action || !ParseNumber(text.substr(0, first), event.Step) ||
        !ParseNumber(text.substr(first + 1, second - first - 1), event.Every) || event.Step < 1 || event.Every < 0)
        lines.Fail(EngineMessage("engine.state_unreadable_values", {"event"}));
    event.Action = *action;
}

// A Set event's value, of the type of its setting's member.
void ReadSettingValue(LineCursor &lines, std::string_view written, ScheduledEvent &event,
                      std::optional<std::string> (*check)(std::string_view, std::string_view)) {
    const SettingRow *row = FindSettingRow(event.Where);
    if (!row || !row->changesOnResume()) lines.Fail(EngineMessage("engine.state_unknown_setting", {event.Where}));
    event.Setting = DefaultValue(*row);
    std::visit(
        [&](auto &v) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(v)>, std::monostate>) {
                if (!ParseValue(written, v))
                    lines.Fail(EngineMessage("engine.state_unreadable_value", {"event_value"}));
                if (!check) return;
                if (auto problem = check(row->name, state::CheckedText(written, v))) lines.Fail(*problem);
            }
        },
        event.Setting);
}

ScheduledEvent ReadEvent(LineCursor &lines, std::optional<std::string> (*check)(std::string_view, std::string_view)) {
    ScheduledEvent event;
    ReadEventHead(lines, event);
    if (!ParseValue(lines.Keyed("event_where"), event.Where))
        lines.Fail(EngineMessage("engine.state_unreadable_value", {"event_where"}));
    const std::string_view value = lines.Keyed("event_value");
    if (event.Action == EventAction::Set)
        ReadSettingValue(lines, value, event, check);
    else if (!ParseNumber(value, event.Value))
        lines.Fail(EngineMessage("engine.state_unreadable_value", {"event_value"}));
    return event;
}

EventMask ReadMask(LineCursor &lines, int width, int height) {
    EventMask mask;
    if (!ParseValue(lines.Keyed("mask"), mask.Where))
        lines.Fail(EngineMessage("engine.state_unreadable_value", {"mask"}));
    mask.Inside.reserve(static_cast<std::size_t>(width) * height);
    for (int i = 0; i < width; ++i) {
        const std::string_view row = lines.Next("mask");
        if (row.size() != static_cast<std::size_t>(height) ||
            row.find_first_not_of(std::string{InsideMark, OutsideMark}) != std::string_view::npos)
            lines.Fail(EngineMessage("engine.state_mask_row", {mask.Where, std::to_string(height)}));
        for (const char c : row) mask.Inside.push_back(c == InsideMark ? 1 : 0);
    }
    return mask;
}

}  // namespace

void AppendEventsSection(std::string &out, const EventSchedule &schedule, int width, int height) {
    out += "events " + std::to_string(schedule.Events.size()) + " " + std::to_string(schedule.Masks.size()) + "\n";
    for (const ScheduledEvent &event : schedule.Events) AppendEvent(out, event);
    for (const EventMask &mask : schedule.Masks) {
        out += "mask ";
        AppendValue(out, mask.Where);
        out += '\n';
        for (int i = 0; i < width; ++i) {
            for (int j = 0; j < height; ++j)
                out += mask.Inside[static_cast<std::size_t>(i) * height + j] ? InsideMark : OutsideMark;
            out += '\n';
        }
    }
}

std::shared_ptr<const EventSchedule> ReadEventsSection(LineCursor &lines, int width, int height,
                                                       std::optional<std::string> (*check)(std::string_view name,
                                                                                           std::string_view text)) {
    const std::string_view counts = lines.Keyed("events");
    const auto blank = counts.find(' ');
    std::uint32_t events = 0, masks = 0;
    if (blank == std::string_view::npos || !ParseNumber(counts.substr(0, blank), events) ||
        !ParseNumber(counts.substr(blank + 1), masks))
        lines.Fail(EngineMessage("engine.state_unreadable_values", {"events"}));
    auto schedule = std::make_shared<EventSchedule>();
    // Each item takes a line at least: counts beyond the file's lines fail on a missing line.
    for (std::uint32_t k = 0; k < events && !lines.AtEnd(); ++k) schedule->Events.push_back(ReadEvent(lines, check));
    for (std::uint32_t k = 0; k < masks && !lines.AtEnd(); ++k)
        schedule->Masks.push_back(ReadMask(lines, width, height));
    if (schedule->Events.size() != events || schedule->Masks.size() != masks) lines.Next("event");
    for (ScheduledEvent &event : schedule->Events) {
        if (event.Action == EventAction::Set || event.Where == EventEverywhere) continue;
        const auto found = std::find_if(schedule->Masks.begin(), schedule->Masks.end(),
                                        [&event](const EventMask &m) { return m.Where == event.Where; });
        if (found == schedule->Masks.end()) lines.Fail(EngineMessage("engine.state_missing", {"mask " + event.Where}));
        event.Mask = static_cast<int>(found - schedule->Masks.begin());
    }
    return schedule;
}

}  // namespace glebix
