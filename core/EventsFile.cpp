#include "EventsFile.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "CloseNames.h"
#include "Conversions.h"
#include "DesignFile.h"
#include "Messages.h"
#include "SettingsTable.h"

namespace glebix::core {

namespace {

constexpr std::size_t ColumnCount = std::size(EventColumns);
enum Column : std::size_t { StepColumn, EveryColumn, ActionColumn, WhereColumn, ValueColumn };

// The range of a compacted share (percent of a cell's soil) and of a probability.
constexpr double LowestShare = 0, HighestShare = 100;
constexpr double LowestProbability = 0, HighestProbability = 1;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsDigits(std::string_view s) {
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> ActionWords() {
    std::vector<std::string> words;
    for (EventAction a :
         {EventAction::SetCompacted, EventAction::AddCompacted, EventAction::RemoveFauna, EventAction::Set})
        words.emplace_back(EventActionWord(a));
    return words;
}

// One line's fields being read: each problem names the file, the line and the column.
struct LineReader {
    const std::string &path;
    std::int64_t line;
    const std::vector<std::string> &fields;
    ParsedEvents &parsed;
    bool failed = false;

    void Fail(Column column, const std::string &problem) {
        parsed.Problems.push_back(EventsPlace(path, line, EventColumns[column]) + problem);
        failed = true;
    }
    const std::string &Field(Column column) const { return fields[column]; }
};

// More fields than columns: a number written with a decimal comma is said as such, in
// its column.
void TooManyFields(LineReader &r) {
    for (std::size_t c = 0; c + 1 < r.fields.size() && c < ColumnCount; ++c) {
        if (!IsDigits(r.fields[c]) || !IsDigits(r.fields[c + 1])) continue;
        const std::string written = r.fields[c] + "," + r.fields[c + 1];
        return r.Fail(static_cast<Column>(c), Message("events.decimal_comma", {written}));
    }
    r.parsed.Problems.push_back(
        r.path + ":" + std::to_string(r.line) + ": " +
        Message("design.field_count", {std::to_string(r.fields.size()), std::to_string(ColumnCount)}));
}

void ReadWhen(LineReader &r, ScheduledEvent &event) {
    const auto step = ParseWholeToken(r.Field(StepColumn));
    if (!step || *step < 1)
        r.Fail(StepColumn, Message("events.bad_step", {r.Field(StepColumn)}));
    else
        event.Step = *step;
    if (r.Field(EveryColumn).empty()) return;
    const auto every = ParseWholeToken(r.Field(EveryColumn));
    if (!every || *every < 0)
        r.Fail(EveryColumn, Message("events.bad_every", {r.Field(EveryColumn)}));
    else
        event.Every = *every;
}

// A Set event's setting and value: a setting read at every step, its value checked as
// --set checks it and kept in its member's type.
void ReadSet(LineReader &r, ScheduledEvent &event) {
    const std::string &name = r.Field(WhereColumn);
    const auto &live = ResumeSettableNames();
    const SettingRow *row = FindSettingRow(name);
    const auto &named = SettingNames();
    if (!row || std::find(named.begin(), named.end(), name) == named.end())
        return r.Fail(WhereColumn, UnknownSettingMessage(name));
    if (std::find(live.begin(), live.end(), name) == live.end()) {
        std::string names;
        for (const std::string &n : live) names += (names.empty() ? "" : ", ") + n;
        return r.Fail(WhereColumn, Message("events.set_not_live", {name, names}));
    }
    TSettings scratch;
    if (auto problem = ApplySetting(name, r.Field(ValueColumn), scratch)) return r.Fail(ValueColumn, *problem);
    VisitSettings(scratch, [&](const SettingRow &visited, const auto &member) {
        if (visited.name == name) event.Setting = member;
    });
}

// A cell action's value: a real within the action's range.
void ReadShare(LineReader &r, ScheduledEvent &event) {
    const std::string &text = r.Field(ValueColumn);
    const auto value = ParseRealToken(text);
    if (!value)
        return r.Fail(ValueColumn,
                      Message("setting.not_real", {Message("quote.open") + text + Message("quote.close")}));
    if (!std::isfinite(*value))
        return r.Fail(ValueColumn,
                      Message("setting.not_finite", {Message("quote.open") + text + Message("quote.close")}));
    event.Value = *value;
    if (event.Action == EventAction::SetCompacted && !(*value >= LowestShare && *value <= HighestShare))
        r.Fail(ValueColumn, Message("events.compacted_range", {text}));
    if (event.Action == EventAction::RemoveFauna && !(*value >= LowestProbability && *value <= HighestProbability))
        r.Fail(ValueColumn, Message("events.probability_range", {text}));
}

// A cell action's cells: every cell, or a mask listed once.
void ReadWhere(LineReader &r, ScheduledEvent &event) {
    const std::string &where = r.Field(WhereColumn);
    if (where == EventEverywhere) return;
    std::vector<EventMask> &masks = r.parsed.Schedule.Masks;
    const auto found =
        std::find_if(masks.begin(), masks.end(), [&where](const EventMask &m) { return m.Where == where; });
    event.Mask = static_cast<int>(found - masks.begin());
    if (found != masks.end()) return;
    masks.push_back({where, {}});
    r.parsed.MaskPaths.push_back(MaskFilePath(r.path, where));
    r.parsed.MaskLines.push_back(r.line);
}

void ReadEventLine(LineReader &r) {
    if (r.fields.size() > ColumnCount) return TooManyFields(r);
    if (r.fields.size() < ColumnCount) {
        r.parsed.Problems.push_back(
            r.path + ":" + std::to_string(r.line) + ": " +
            Message("design.field_count", {std::to_string(r.fields.size()), std::to_string(ColumnCount)}));
        return;
    }
    ScheduledEvent event;
    ReadWhen(r, event);
    const auto action = EventActionOf(r.Field(ActionColumn));
    if (!action)
        return r.Fail(ActionColumn,
                      Message("events.bad_action",
                              {r.Field(ActionColumn), SuggestionText(r.Field(ActionColumn), ActionWords())}));
    event.Action = *action;
    event.Where = r.Field(WhereColumn);
    if (event.Where.empty()) return r.Fail(WhereColumn, Message("events.where_empty"));
    if (event.Action == EventAction::Set) {
        ReadSet(r, event);
    } else {
        ReadShare(r, event);
        ReadWhere(r, event);
    }
    if (r.failed) return;
    r.parsed.Schedule.Events.push_back(std::move(event));
    r.parsed.EventLines.push_back(r.line);
}

bool IsHeader(const std::vector<std::string> &fields) {
    return std::equal(fields.begin(), fields.end(), std::begin(EventColumns), std::end(EventColumns));
}

}  // namespace

std::string EventsPlace(const std::string &path, std::int64_t line, std::string_view column) {
    return path + ":" + std::to_string(line) + ": " + Message("design.column", {std::string(column)});
}

std::string MaskFilePath(const std::string &schedulePath, const std::string &where) {
    const std::filesystem::path mask(where);
    const std::filesystem::path folder = std::filesystem::path(schedulePath).parent_path();
    return mask.is_absolute() || folder.empty() ? where : (folder / mask).string();
}

ParsedEvents ParseEventsText(std::string_view text, const std::string &path) {
    ParsedEvents parsed;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    bool haveHeader = false;
    std::vector<std::string> fields;
    for (std::int64_t lineNumber = 1; !text.empty(); ++lineNumber) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto first = std::find_if_not(line.begin(), line.end(), IsBlank);
        if (first == line.end() || *first == '#') continue;
        if (auto problem = SplitCsvLine(line, fields)) {
            parsed.Problems.push_back(path + ":" + std::to_string(lineNumber) + ": " + *problem);
            if (!haveHeader) return parsed;
            continue;
        }
        if (!haveHeader) {
            haveHeader = true;
            if (IsHeader(fields)) continue;
            parsed.Problems.push_back(path + ":" + std::to_string(lineNumber) + ": " + Message("events.header"));
            return parsed;
        }
        LineReader reader{path, lineNumber, fields, parsed};
        ReadEventLine(reader);
    }
    if (!haveHeader) parsed.Problems.push_back(Labelled(path, Message("events.header")));
    return parsed;
}

}  // namespace glebix::core
