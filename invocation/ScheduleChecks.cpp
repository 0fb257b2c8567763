#include "ScheduleChecks.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

#include "EventInputs.h"
#include "Messages.h"
#include "RunPlan.h"
#include "Simul.h"

namespace glebix::invocation {

namespace {

// A run that saves its state may be resumed beyond its last step, where its later
// events then apply; a repeat runs what its manifest's run ran.
bool KeepsLaterEvents(const BatchOptions &options) {
    return !OutputAsked(options, "--save-state").empty() || !OutputAsked(options, "--checkpoint").empty() ||
           !options.RepeatManifest.empty();
}

}  // namespace

std::vector<std::string> EventScheduleProblems(const BatchOptions &options) {
    std::vector<std::string> problems;
    if (options.Resumed) return problems;
    const bool severalPoints = options.StudyDesign && options.Points.size() > 1;
    std::set<std::tuple<std::string, int, int, std::string>> checked;  // once per plot size and step count
    auto simul = std::make_unique<Simul>();
    simul->GivenInputs = options.Files;
    for (const int point : options.Points) {
        TSettings settings = PointSettings(options, point);
        if (settings.Run.EventsFilePath.empty()) continue;
        RunInputs(options, &settings);
        const std::optional<PlotShape> shape = ScheduledPlotShape(*simul, settings);
        if (!shape ||
            !checked.emplace(settings.Run.EventsFilePath, shape->Width, shape->Height, settings.Run.StepCount).second)
            continue;
        for (std::string &problem :
             ScheduleProblemsOn(settings, *shape, options.Files.get(), KeepsLaterEvents(options))) {
            if (severalPoints) problem = Labelled(Message("run.point", {std::to_string(point)}), problem);
            if (std::find(problems.begin(), problems.end(), problem) == problems.end())
                problems.push_back(std::move(problem));
        }
    }
    return problems;
}

}  // namespace glebix::invocation
