// The manifest of a run made in the windows: written beside the result file
// (RireVed1a1p1.json) with the batch tool's keys, so that glebix-batch --repeat can
// run it again and give the same result file. It records the seed the set-up took,
// every setting's text, the initial files with their checksums, the step count and
// the steps reached, and when the run started; where its grids lie and its inputs are
// read from the run's description, as in the batch tool's manifest.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "InputFile.h"
#include "Manifest.h"
#include "RunDescription.h"
#include "Simul.h"

namespace glebix::core {
class RunSession;
}

namespace glebix {

class RunManifest {
public:
    // Sets up a run with `seed` (from the clock when empty). The initial files that the
    // settings name are read first, and set-up parses those very bytes, so that the
    // checksums are those of what the run used; the next set-up reads its files anew.
    void SetUpRun(Simul &simul, std::optional<std::uint32_t> seed);
    // The session that steps the run set up: it is given the inputs' records, and the
    // manifest takes the run's description from it.
    void Follow(core::RunSession &session);

    // Writes the manifest beside the result file of `simul`'s settings, atomically.
    void Write(const Simul &simul, std::int32_t stepCount, std::int32_t stepsReached) const;

    // What Write writes.
    core::ManifestContents Contents(const Simul &simul, std::int32_t stepCount, std::int32_t stepsReached) const;

private:
    std::vector<core::InputFileRecord> inputs_;
    std::optional<core::RunDescription> run_;  // of the session that steps the run
    std::string started_;
    std::chrono::steady_clock::time_point start_;
    bool seedFromClock_ = true;
};

}  // namespace glebix
