#include <algorithm>

#include "BatchOptions.h"
#include "WordList.h"
#include "Conversions.h"
#include "Messages.h"
#include "OutputRegistry.h"
#include "OutputsAsked.h"
#include "RunPlan.h"
#include "BatchWarnings.h"

namespace glebix::batch {

namespace {

bool KeepsSomething(const BatchOptions &o) {
    const auto kinds = OutputKinds();
    return std::any_of(kinds.begin(), kinds.end(),
                       [&o](const OutputKind &k) { return k.keepsRuns && !AskedPath(o, k).empty(); });
}

}  // namespace

std::string NothingKeptWarning() {
    std::vector<std::string> options;
    for (const OutputKind &k : OutputKinds())
        if (k.keepsRuns) options.emplace_back(k.option);
    return Message("warning.nothing_kept", {JoinWords(options, Message("word.or"))});
}

std::string FramesPerSecondWarning(int framesPerSecond) {
    return Message("warning.fps",
                   {std::to_string(framesPerSecond), FormatShortest(WrittenFramesPerSecond(framesPerSecond)),
                    std::to_string(MaxShownFramesPerSecond)});
}

StudyWarnings CollectWarnings(const BatchOptions &options) {
    const std::vector<int> points = options.StudyDesign ? options.Points : std::vector<int>{};
    std::vector<std::string> species;
    for (const InputFile &input : options.Inputs)
        if (input.Role == "species") species.push_back(input.Path);
    const auto settingsOf = [&options](int point) { return PointSettings(options, point); };
    StudyWarnings w;
    if (options.Resumed)
        w.Common = ResumedRunWarnings(options.Settings);
    else
        w = RunWarnings(options.Settings, points, settingsOf, species, *options.Files);
    const std::size_t runs = options.Points.size() * static_cast<std::size_t>(options.Replicates);
    if ((runs > 1 || options.StudyDesign) && !KeepsSomething(options)) w.Common.push_back(NothingKeptWarning());
    if (!OutputAsked(options, "--animate").empty() && options.FramesPerSecond > MaxShownFramesPerSecond)
        w.Common.push_back(FramesPerSecondWarning(options.FramesPerSecond));
    if (options.Points.empty() && options.SliceAsked)
        w.Common.push_back(Message("warning.empty_slice", {std::to_string(options.SliceAsked->Index),
                                                           std::to_string(options.SliceAsked->Count)}));
    return w;
}

}  // namespace glebix::batch
