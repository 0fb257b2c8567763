// The run's state files: the checkpoint (--checkpoint), replaced every K steps as the
// run goes, and the state it ends with (--save-state), whatever the end.
#include "Messages.h"
#include "RecorderKinds.h"
#include "StateOutputs.h"

namespace glebix::recorders {

namespace {

using invocation::StateOutputs;
using invocation::StatePlan;

StateOutputs StatesOf(const RecordingContext &context, StatePlan plan) {
    return StateOutputs(plan, context.masterSeed, context.plan.Seed, context.record.StepCount);
}

class CheckpointRecorder : public Recorder {
public:
    CheckpointRecorder(RecordingContext &context, const std::string &path)
        : states_(StatesOf(context, {{}, path, context.options.CheckpointEvery})) {}

    void Stepped(const RunSession &run) override { states_.AfterStep(run.Engine(), run.StepIndex()); }

private:
    StateOutputs states_;
};

class SaveStateRecorder : public Recorder {
public:
    SaveStateRecorder(RecordingContext &context, std::string path)
        : context_(context), path_(std::move(path)), states_(StatesOf(context, {path_, {}, 0})) {}

    void BeforeStep(const RunSession &run) override { states_.BeforeStep(run.Engine(), run.StepIndex()); }
    // The last whole state, or none when a failed step left none whole: an earlier file
    // there then stays as it was, and the run's message says so.
    void End(const RunSession *run, bool holdsRun) override {
        if (!run || !holdsRun || staged_) return;
        staged_ = true;
        RunRecord &record = context_.record;
        const std::optional<StateSource> state = record.Completed || record.Interrupted
                                                     ? states_.AtEnd(run->Engine(), record.StepsReached)
                                                     : states_.AfterFailure(run->Engine(), record.StepsReached);
        if (!state) {
            context_.leftAlone.push_back(path_);
            record.Message += Message("run.then", {Message("state.withheld", {path_})});
            return;
        }
        LineWriter writer;  // in pieces: a large plot's state is never held whole
        context_.files.OpenLines(path_, writer);
        WriteStateText(
            *state, [&writer](std::string_view piece) { writer.Write(piece); }, run->Engine().DispersalThreads());
        writer.Close();
    }

private:
    RecordingContext &context_;
    std::string path_;
    StateOutputs states_;
    bool staged_ = false;  // the end state was staged, or tried
};

}  // namespace

std::unique_ptr<Recorder> MakeCheckpointRecorder(RecordingContext &context, const std::string &path) {
    return std::make_unique<CheckpointRecorder>(context, path);
}

std::unique_ptr<Recorder> MakeSaveStateRecorder(RecordingContext &context, const std::string &path) {
    return std::make_unique<SaveStateRecorder>(context, path);
}

}  // namespace glebix::recorders
