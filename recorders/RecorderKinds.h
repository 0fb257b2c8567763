// The factory of each kind of recorder, one file each.
#pragma once

#include "Recorder.h"

namespace glebix::recorders {

std::unique_ptr<Recorder> MakeTraceRecorder(RecordingContext &context, const std::string &path);
std::unique_ptr<Recorder> MakeResultFileRecorder(RecordingContext &context, const std::string &folder);
std::unique_ptr<Recorder> MakeAscRecorder(RecordingContext &context, const std::string &folder);
std::unique_ptr<Recorder> MakeTifRecorder(RecordingContext &context, const std::string &folder);
std::unique_ptr<Recorder> MakeSnapshotRecorder(RecordingContext &context, const std::string &folder);
std::unique_ptr<Recorder> MakeAnimationRecorder(RecordingContext &context, const std::string &path);
std::unique_ptr<Recorder> MakeNetcdfRecorder(RecordingContext &context, const std::string &path);
std::unique_ptr<Recorder> MakeCheckpointRecorder(RecordingContext &context, const std::string &path);
std::unique_ptr<Recorder> MakeSaveStateRecorder(RecordingContext &context, const std::string &path);

}  // namespace glebix::recorders
