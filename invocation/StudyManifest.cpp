#include "StudyManifest.h"

#include <filesystem>

#include "AnimationLook.h"
#include "FileIo.h"
#include "IncompleteFile.h"
#include "OutputRegistry.h"
#include "OutputsAsked.h"
#include "SettingsTable.h"
#include "Simul.h"

namespace glebix::invocation {

namespace {

// Whether the run wrote its output at `path`: a file among those it wrote (the result
// file of a run without steps, or of a run that ended before its last step, never
// is), a folder holding its first named file or any file it wrote, or the checkpoint,
// which is replaced as the run goes outside the staged files, where it lies.
bool Wrote(const OutputKind &kind, const std::string &path, const std::vector<std::string> &written) {
    auto among = [&written](const std::string &file) {
        return std::find(written.begin(), written.end(), file) != written.end();
    };
    std::error_code ec;
    if (path.empty()) return false;
    if (kind.staging == OutputStaging::Replaced) return std::filesystem::exists(path, ec);
    if (kind.place == OutputPlace::File) return among(path);
    if (kind.filesInside) return among(kind.filesInside(path).front());
    return std::any_of(written.begin(), written.end(),
                       [&path](const std::string &file) { return ParentOf(file) == path; });
}

// The outputs the run wrote, each by its place (or its folder's file), or by the name
// it is kept under aside; those not written are left empty.
void WrittenOutputs(const RunPlan &plan, const ManifestFacts &facts, ManifestContents &c) {
    for (const OutputKind &kind : OutputKinds()) {
        if (!kind.manifestKey) continue;
        const std::string &path = PlaceOf(plan, kind);
        const bool inside = kind.record == ManifestRecord::HeldFile && !path.empty();
        const bool aside = facts.KeptAside && kind.staging != OutputStaging::Replaced;
        const std::string place = inside ? kind.filesInside(path).front() : path;
        c.Outputs[kind.manifestKey] = !Wrote(kind, path, facts.Written) ? std::string()
                                      : aside                           ? IncompleteName(place)
                                                                        : place;
    }
}

}  // namespace

std::vector<InputFileRecord> DescribeInputs(const BatchOptions &options, const TSettings *settings,
                                            std::map<std::string, InputFileRecord> *digests) {
    std::vector<InputFileRecord> records;
    for (const InputFile &input : RunInputs(options, settings)) {
        if (digests) {
            if (auto known = digests->find(input.Path); known != digests->end()) {
                records.push_back(known->second);
                records.back().Role = input.Role;
                continue;
            }
        }
        InputFileRecord r = RecordRunInput(*options.Files, input);
        if (digests) (*digests)[input.Path] = r;
        records.push_back(std::move(r));
    }
    return records;
}

std::string ManifestJson(const BatchOptions &options, const RunPlan &plan, const RunRecord &record, const Simul &simul,
                         const RunDescription &run, const ManifestFacts &facts) {
    ManifestContents c;
    c.Program = "glebix-batch";
    c.Run = plan.Replicate;
    c.Replicates = options.Replicates;
    c.Seed = plan.Seed;
    c.MasterSeed = facts.MasterSeed;
    c.SeedFromClock = facts.SeedFromClock;
    c.StepCount = record.StepCount;
    c.StepsReached = record.StepsReached;
    c.Completed = record.Completed;
    c.Interrupted = record.Interrupted;
    for (const StopRule &rule : options.StopRules) c.StopRules.push_back(rule.Text);
    c.StoppedBy = record.StoppedBy;
    c.Message = record.Message;
    c.Started = facts.Started;
    c.Seconds = record.Seconds;
    c.Settings = simul.SettingsAsBegun();  // before the events changed any
    c.Inputs = run.Inputs;
    c.Georeference = run.Georeference;
    WrittenOutputs(plan, facts, c);
    c.AnimationFramesPerSecond = WrittenFramesPerSecond(options.FramesPerSecond);
    const AnimationLook look = AnimationLookOf(options);
    c.AnimationStyleText = AnimationStyleName(look.Style);
    if (look.Style == AnimationStyle::Map)
        c.AnimationCellSize = MapStyleCellSize(look, simul.Plot.Width, simul.Plot.Height);
    if (options.Resumed) {
        c.ResumedFrom = options.ResumePath;
        c.ResumedFromStep = options.Resumed->Step;
        c.ResumedFromSha256 = options.Resumed->Checksum;
    }
    c.Command = options.Arguments;
    c.WorkingDirectory = WorkingDirectory();
    c.Warnings = facts.Warnings;
    if (options.StudyDesign) {
        c.HasDesign = true;
        c.Point = plan.Point;
        for (const std::string &name : options.StudyDesign->Columns)
            c.Design.emplace_back(name, SettingText(name, plan.Settings));
        c.IndependentSeeds = options.IndependentSeeds;
    }
    return ManifestText(c);
}

}  // namespace glebix::invocation
