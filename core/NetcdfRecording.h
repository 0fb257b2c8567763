// The grids of a run driven step by step recorded into one NetCDF file, as the batch
// tool's --netcdf --every records them: from the state it is asked at (or the state
// after set-up, the file then started anew), every `every` steps and at the run's
// last step.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "NetcdfStack.h"
#include "RunSession.h"

namespace glebix::core {

// The deflate level of `text` given to `option`: a whole number from 0 to
// gis::MaxDeflateLevel, or the message refusing it.
struct DeflateChoice {
    int Level = gis::DefaultDeflateLevel;
    std::string Problem;
};
DeflateChoice DeflateLevelOf(const std::string &option, std::string_view text);
// The refusal of `shown`, a level given for `option` that is not one.
std::string DeflateLevelRefusal(const std::string &option, const std::string &shown);

class NetcdfRecording : public RunObserver {
public:
    // Records into `path` from now: its folder is created when missing, and a path
    // that holds something other than a plain file is refused (GlebixError). A
    // recording under way is dropped.
    void Start(const std::string &path, int every, const RunSession &session,
               int deflateLevel = gis::DefaultDeflateLevel);
    bool IsOpen() const { return stack_.IsOpen(); }
    // Puts the file in place with the records so far and stops; returns its path.
    // Raises GlebixError when nothing is recorded.
    std::string Finish();
    // Records nothing more; a file under way stays until Finish.
    void Stop() { every_ = 0; }
    // Records nothing more, and removes the file under way: nothing is put in place.
    void Abandon();
    // Asked to record, or holding records not yet put in place.
    bool IsRecording() const { return every_ > 0 || IsOpen(); }

    void SetUp(const RunSession &session) override;
    void Stepped(const RunSession &session) override;

private:
    void Record(const RunSession &session, bool anew);

    gis::NetcdfStack stack_;
    std::string path_;
    int every_ = 0;  // 0: not recording
    int deflateLevel_ = gis::DefaultDeflateLevel;
};

}  // namespace glebix::core
