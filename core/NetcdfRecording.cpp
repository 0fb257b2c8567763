#include "NetcdfRecording.h"

#include "Errors.h"
#include "FileIo.h"
#include "GisMessages.h"
#include "Messages.h"
#include "RecordedSteps.h"
#include "SettingsTable.h"

namespace glebix::core {

DeflateChoice DeflateLevelOf(const std::string &option, std::string_view text) {
    const auto level = ParseCount(text, 0);
    if (level && *level <= gis::MaxDeflateLevel) return {*level, {}};
    return {gis::DefaultDeflateLevel, DeflateLevelRefusal(option, std::string(text))};
}

std::string DeflateLevelRefusal(const std::string &option, const std::string &shown) {
    return Message("option.not_count_in", {option, shown, "0", std::to_string(gis::MaxDeflateLevel)});
}

void NetcdfRecording::Start(const std::string &path, int every, const RunSession &session, int deflateLevel) {
    session.RefuseInputClash("--netcdf", path);
    if (stack_.IsOpen()) stack_.Abandon();
    PrepareOutputFile(path);
    path_ = path;
    every_ = every;
    deflateLevel_ = deflateLevel;
    if (session.IsReady()) Record(session, false);
}

// Opens the file when it is not (or anew), then records the present step.
void NetcdfRecording::Record(const RunSession &session, bool anew) {
    if (anew || !stack_.IsOpen()) {
        if (stack_.IsOpen()) stack_.Abandon();
        const RunDescription &run = session.Description();
        stack_.Open(path_, session.Engine(), run.Georeference, run.Seed, deflateLevel_);
    }
    stack_.Record(session.StepIndex(), session.Plot());
}

void NetcdfRecording::SetUp(const RunSession &session) {
    if (every_ > 0) Record(session, true);
}

void NetcdfRecording::Stepped(const RunSession &session) {
    const std::int32_t step = session.StepIndex();
    if (every_ > 0 && IsRecordedStep(step, every_, session.LastStep())) Record(session, false);
}

void NetcdfRecording::Abandon() {
    every_ = 0;
    if (stack_.IsOpen()) stack_.Abandon();
}

std::string NetcdfRecording::Finish() {
    every_ = 0;
    if (!stack_.IsOpen()) throw GlebixError(gis::MsgNotRecording());
    stack_.Finish();
    PutInPlace(PartName(path_), path_);
    return path_;
}

}  // namespace glebix::core
