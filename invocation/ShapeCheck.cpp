#include "ShapeCheck.h"

#include <algorithm>
#include <memory>

#include "InitialSources.h"
#include "InputFile.h"
#include "Messages.h"
#include "PlotShape.h"
#include "RunPlan.h"
#include "Simul.h"

namespace glebix::invocation {

namespace {

// Whether the initial files the settings name were read: a file that could not be is
// each run's to report (and an empty path the output places' check's), not the plot's.
bool InputsReadable(const InitialSettings &in, const InputBytes *given) {
    const std::vector<InitialSource> read = ReadInitialSources(in);
    return std::all_of(read.begin(), read.end(), [given](const InitialSource &source) {
        if (source.path.empty()) return false;
        try {
            InputFileBytes(source.path, given);
            return true;
        } catch (const std::exception &) { return false; }
    });
}

}  // namespace

std::vector<std::string> PlotShapeProblems(const BatchOptions &options) {
    std::vector<std::string> problems;
    if (options.Resumed) return problems;
    const bool severalPoints = options.StudyDesign && options.Points.size() > 1;
    auto simul = std::make_unique<Simul>();
    simul->GivenInputs = options.Files;
    for (const int point : options.Points) {
        std::string problem;
        try {
            simul->Settings = PointSettings(options, point);
            RunInputs(options, &simul->Settings);  // read once, as the runs will read them
            if (!InputsReadable(simul->Settings.Initial, options.Files.get())) continue;
            const PlotShape shape = simul->TakePlotShape();
            TakeChartCellDefault(simul->Settings.Run, shape);
            CheckChartCell("ChartCellX", simul->Settings.Run.ChartCellX, shape.Width);
            CheckChartCell("ChartCellY", simul->Settings.Run.ChartCellY, shape.Height);
        } catch (const std::exception &e) { problem = LocalExceptionMessage(e); }
        if (problem.empty()) continue;
        if (severalPoints) problem = Labelled(Message("run.point", {std::to_string(point)}), problem);
        if (std::find(problems.begin(), problems.end(), problem) == problems.end()) problems.push_back(problem);
    }
    return problems;
}

}  // namespace glebix::invocation
