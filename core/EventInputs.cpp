#include "EventInputs.h"

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>

#include "Conversions.h"
#include "Errors.h"
#include "EventsFile.h"
#include "InitialFiles.h"
#include "InitialSources.h"
#include "Messages.h"
#include "RasterInput.h"
#include "Simul.h"

namespace glebix::core {

namespace {

// A mask's values: 1 inside, 0 (or no value) outside.
constexpr double InsideValue = 1;
constexpr double OutsideValue = 0;

// The bytes of a grid input: `given`'s when it holds the path (its failure raised),
// else read now as the initial files are.
std::shared_ptr<const std::string> GridBytes(const std::string &path, const InputBytes *given) {
    InputBytes store;
    const ReadInput *read = nullptr;
    if (given)
        if (const auto found = given->find(path); found != given->end()) read = &found->second;
    if (!read) read = &gis::ReadInitialInputOnce(store, path);
    if (!read->Bytes) throw GlebixError(read->Error, ErrorContext{{}, path, 0, 0, {}});
    return read->Bytes;
}

// The cells of mask `k` of `parsed`, read with the initial environment's reader on a
// scratch plot whose shares start at 0; a problem names the schedule's line.
std::optional<std::string> ReadMask(ParsedEvents &parsed, std::size_t k, const std::string &schedulePath, int width,
                                    int height, const InputBytes *given) {
    const std::string &path = parsed.MaskPaths[k];
    const std::string place = EventsPlace(schedulePath, parsed.MaskLines[k], EventWhereColumn);
    auto plot = std::make_unique<TPlot>(width, height);
    try {
        ReadEnvironmentText(*GridBytes(path, given), path, *plot);
    } catch (const GlebixError &e) { return place + LocalMessageWithContext(e); }
    std::vector<std::uint8_t> &inside = parsed.Schedule.Masks[k].Inside;
    inside.assign(static_cast<std::size_t>(plot->Cells()), 0);
    for (int cell = 0; cell < plot->Cells(); ++cell) {
        const double value = plot->Env.Data()[cell].Compacted;
        if (value != InsideValue && value != OutsideValue)
            return place + Message("events.mask_value", {path, std::to_string(cell / height + 1),
                                                         std::to_string(cell % height + 1), FormatShortest(value)});
        inside[static_cast<std::size_t>(cell)] = value == InsideValue;
    }
    return std::nullopt;
}

// The schedule at `path` with its masks' cells, and its problems.
ParsedEvents ReadSchedule(const std::string &path, int width, int height, const InputBytes *given) {
    ParsedEvents parsed;
    try {
        parsed = ParseEventsText(*InputFileBytes(path, given), path);
    } catch (GlebixError &e) {
        e.Context().Setting = EventsPathSetting;
        e.Context().Path = path;
        parsed.Problems.push_back(LocalMessageWithContext(e));
        return parsed;
    }
    for (std::size_t k = 0; k < parsed.MaskPaths.size(); ++k)
        if (auto problem = ReadMask(parsed, k, path, width, height, given)) parsed.Problems.push_back(*problem);
    return parsed;
}

// The events of `parsed` that begin after `lastStep`: they would never apply, which
// tells of a wrong step or step count.
void LateEventProblems(const ParsedEvents &parsed, const std::string &path, std::int64_t lastStep,
                       std::vector<std::string> &problems) {
    const std::vector<ScheduledEvent> &events = parsed.Schedule.Events;
    for (std::size_t k = 0; k < events.size(); ++k)
        if (events[k].Step > lastStep)
            problems.push_back(
                EventsPlace(path, parsed.EventLines[k], EventStepColumn) +
                Message("events.after_last_step", {std::to_string(events[k].Step), std::to_string(lastStep)}));
}

}  // namespace

std::string_view InputSetting(std::string_view role) {
    if (role == EventsRole || role == EventMaskRole) return EventsPathSetting;
    return InitialPathSetting(role);
}

std::vector<InputFile> EventFiles(const TSettings &settings, InputBytes &files) {
    const std::string &path = settings.Run.EventsFilePath;
    if (path.empty()) return {};
    std::vector<InputFile> inputs{{EventsRole, path}};
    const ReadInput &read = ReadInputOnce(files, path);
    if (!read.Bytes) return inputs;
    for (const std::string &mask : ParseEventsText(*read.Bytes, path).MaskPaths)
        inputs.push_back({EventMaskRole, mask});
    return inputs;
}

std::vector<InputFile> EventInputFiles(const TSettings &settings, InputBytes &files) {
    std::vector<InputFile> inputs = EventFiles(settings, files);
    for (const InputFile &input : inputs) ReadRunInput(files, input);
    return inputs;
}

std::shared_ptr<const EventSchedule> LoadEventSchedule(const TSettings &settings, int width, int height,
                                                       const InputBytes *given) {
    const std::string &path = settings.Run.EventsFilePath;
    if (path.empty()) return nullptr;
    ParsedEvents parsed = ReadSchedule(path, width, height, given);
    if (!parsed.Problems.empty()) throw GlebixError(parsed.Problems.front());
    return std::make_shared<const EventSchedule>(std::move(parsed.Schedule));
}

std::optional<PlotShape> ScheduledPlotShape(Simul &scratch, const TSettings &settings) {
    scratch.Settings = settings;
    try {
        return scratch.TakePlotShape();
    } catch (const std::exception &) { return std::nullopt; }
}

std::vector<std::string> ScheduleProblemsOn(const TSettings &settings, const PlotShape &shape, const InputBytes *given,
                                            bool laterEventsKept) {
    const std::string &path = settings.Run.EventsFilePath;
    ParsedEvents parsed = ReadSchedule(path, shape.Width, shape.Height, given);
    if (!laterEventsKept) LateEventProblems(parsed, path, FieldToInteger(settings.Run.StepCount), parsed.Problems);
    return std::move(parsed.Problems);
}

std::vector<std::string> RunScheduleProblems(const TSettings &settings, std::shared_ptr<const InputBytes> given,
                                             bool laterEventsKept) {
    if (settings.Run.EventsFilePath.empty()) return {};
    Simul simul;
    simul.GivenInputs = std::move(given);
    const std::optional<PlotShape> shape = ScheduledPlotShape(simul, settings);
    return shape ? ScheduleProblemsOn(settings, *shape, simul.GivenInputs.get(), laterEventsKept)
                 : std::vector<std::string>{};
}

}  // namespace glebix::core
