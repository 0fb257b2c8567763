// One simulation as the Python package drives it: a run session with its trace, its
// animation and its NetCDF recording. Set-up, steps and the outputs hold the handle's
// lock, so that two threads never change one engine at once; the grids are read
// without it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Errors.h"
#include "InputFile.h"
#include "NetcdfRecording.h"
#include "RunSession.h"
#include "RunSettings.h"
#include "RunTrace.h"
#include "SessionAnimation.h"
#include "Settings.h"
#include "StateFile.h"
#include "StepTrace.h"

namespace glebix::python {

// A call that the simulation's present state does not allow (a step before set-up,
// two threads at once).
class StateError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class SimulationHandle {
public:
    // `threads`: threads of each dispersal pass, 0 for one per processor. `inputs`
    // (if any) holds input files already read, which set-up then uses instead of
    // reading them.
    // `master`: the study's master seed that `seed` was derived from (a saved state
    // records it); `seed` itself when absent.
    SimulationHandle(const TSettings &settings, std::uint32_t seed, std::int32_t steps, int threads,
                     std::shared_ptr<const InputBytes> inputs = nullptr, std::optional<std::uint32_t> master = {});
    // A saved run put back, ready to step from its saved step + 1 to `steps` (the saved
    // step count when absent). `overrides` may change only the settings a run reads at
    // every step; any other name is refused (SettingRefused). No set-up follows, and
    // the trace starts with the step after the saved one.
    SimulationHandle(const SavedRun &saved, const NamedTexts &overrides, std::optional<std::int32_t> steps,
                     int threads);
    ~SimulationHandle();
    SimulationHandle(const SimulationHandle &) = delete;
    SimulationHandle &operator=(const SimulationHandle &) = delete;

    // Set-up with the handle's seed: the plot is rebuilt and the trace restarts with
    // row 0. Raises GlebixError from the input files and the species values, and the
    // refusal of an animation it was to start (the set-up done, the steps may follow).
    void SetUp();
    // The same, but an animation's refusal is returned as its message instead (empty
    // when none), for a run that goes on without it.
    std::string SetUpForRun();
    // `count` time steps; `afterStep` (if any) runs after each one and may throw to
    // stop, the run then staying at the last step completed. An engine error leaves
    // the plot as the failed step left it, and no further step is allowed.
    void Step(std::int64_t count, const std::function<void()> &afterStep = {});
    // Stops the run early where one of the rules (--stop-when's texts) holds; raises
    // GlebixError naming `stop_when` for a text that is no rule.
    void StopWhen(const std::vector<std::string> &rules);
    // The rule that stopped the run; empty while none has.
    std::string StoppedBy();
    // Replaces `path` by the state file of the run at its present step, with the seeds
    // and the step count the batch tool writes for the same run.
    void SaveState(const std::string &path);
    // Writes RireVed1a1p1.txt into `directory`, created when missing; returns its path.
    std::string WriteResultFile(const std::string &directory);
    // Writes the present grids into `directory` as the batch tool's --asc does; returns
    // the files' paths.
    std::vector<std::string> WriteGrids(const std::string &directory);
    // The same as GeoTIFF files, as --tif writes them.
    std::vector<std::string> WriteTifGrids(const std::string &directory);
    // Writes the present grids as a NetCDF file of one record, as --netcdf writes them.
    std::string WriteNetcdf(const std::string &path);
    // Records the grids into the NetCDF file at `path` as --netcdf --every `every` does:
    // after set-up (or now, when set up already), every `every` steps and after the
    // last step, its layers deflated at `deflateLevel`. FinishRecording puts the file in
    // place and returns its path.
    void StartRecording(const std::string &path, int every, int deflateLevel = gis::DefaultDeflateLevel);
    std::string FinishRecording();
    // Drops the recording and the animation under way, their temporary files removed:
    // a run that ends on an error puts neither in place.
    void AbandonOutputs();
    // A recording or an animation is under way: its temporary file exists or will.
    bool Records() const { return recording_.IsRecording() || animation_.IsAsked(); }

    // Asks for an animated map at `path` (RunAnimation): it starts now when the run is
    // set up, else at set-up, and is put in place at the last step.
    void Animate(const std::string &path, int every, const core::AnimationLook &look);
    // Puts the animation under way in place with its frames so far; returns its path,
    // or an empty text when there was none.
    std::string EndAnimation();

    const Simul &Engine() const { return session_->Engine(); }
    const TSettings &Settings() const { return session_->Settings(); }
    std::uint32_t Seed() const { return session_->Seed(); }
    std::uint32_t MasterSeed() const { return session_->MasterSeed(); }
    std::int32_t Steps() const { return session_->StepCount(); }
    int Threads() const { return session_->Threads(); }
    std::int64_t StepIndex() const { return session_->StepIndex(); }
    bool IsSetUp() const { return session_->HoldsRun(); }
    // A copy of the rows so far; safe while another thread steps.
    TraceColumns TraceCopy() const;

private:
    std::unique_lock<std::mutex> TakeBusy();
    std::optional<GlebixError> SetUpRefusal();
    void RequireSetUp() const;

    std::unique_ptr<core::RunSession> session_;
    core::StepTrace trace_;
    render::SessionAnimation animation_;
    core::NetcdfRecording recording_;
    std::mutex busy_;
};

}  // namespace glebix::python
