#include <algorithm>
#include <iterator>

#include "BatchOptions.h"
#include "WordList.h"
#include "Conversions.h"
#include "Messages.h"
#include "RunPlan.h"
#include "Warnings.h"

namespace glebix::batch {

namespace {

// Every option that keeps something of the runs, with the place it gives.
struct KeptOutput {
    const char *option;
    std::string BatchOptions::*place;
};
constexpr KeptOutput KeptOutputs[] = {{"--out", &BatchOptions::OutDir},
                                      {"--table", &BatchOptions::TablePath},
                                      {"--trace", &BatchOptions::TracePath},
                                      {"--snapshots", &BatchOptions::SnapshotDir},
                                      {"--asc", &BatchOptions::AscDir},
                                      {"--tif", &BatchOptions::TifDir},
                                      {"--netcdf", &BatchOptions::NetcdfPath},
                                      {"--animate", &BatchOptions::AnimatePath},
                                      {"--save-state", &BatchOptions::SaveStatePath},
                                      {"--checkpoint", &BatchOptions::CheckpointPath}};

bool KeepsSomething(const BatchOptions &o) {
    return std::any_of(std::begin(KeptOutputs), std::end(KeptOutputs),
                       [&o](const KeptOutput &k) { return !(o.*k.place).empty(); });
}

}  // namespace

std::string NothingKeptWarning() {
    std::vector<std::string> options;
    for (const KeptOutput &k : KeptOutputs) options.emplace_back(k.option);
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
    StudyWarnings w = RunWarnings(options.Settings, points, settingsOf, species, *options.Files);
    const std::size_t runs = options.Points.size() * static_cast<std::size_t>(options.Replicates);
    if ((runs > 1 || options.StudyDesign) && !KeepsSomething(options)) w.Common.push_back(NothingKeptWarning());
    if (!options.AnimatePath.empty() && options.FramesPerSecond > MaxShownFramesPerSecond)
        w.Common.push_back(FramesPerSecondWarning(options.FramesPerSecond));
    if (options.Points.empty() && options.SliceAsked)
        w.Common.push_back(Message("warning.empty_slice", {std::to_string(options.SliceAsked->Index),
                                                           std::to_string(options.SliceAsked->Count)}));
    return w;
}

}  // namespace glebix::batch
