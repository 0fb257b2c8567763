// Observations a calibration test recovers: the total count at steps 5, 10 and 20 of
// a 10 x 10 run of 20 steps at Survival 0.42 (seed 5), made by the program itself.
#pragma once

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "BatchProgram.h"
#include "TestFiles.h"

namespace glebix::testing {

// A tiny plot and a short run: a calibration of a few hundred runs takes a second.
inline const std::string CalibrationPlot = " --set PlotWidth=10 --set PlotHeight=10 --steps 20 --quiet ";

// observed.csv in `dir`, written from a run's trace; returns its path.
inline std::string SurvivalObservations(ScratchDir &dir) {
    const std::string trace = dir / "truth.csv";
    EXPECT_EQ(RunProgram("--seed 5 --set Survival=0.42 --trace " + trace + CalibrationPlot), 0);
    std::istringstream lines(ReadAll(trace));
    std::string line, out = "step,metric,value\n";
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        const std::string step = line.substr(0, line.find(','));
        if (step == "5" || step == "10" || step == "20")
            out += step + ",total_density," + line.substr(line.rfind(',') + 1) + "\n";
    }
    return dir.File("observed.csv", out);
}

}  // namespace glebix::testing
