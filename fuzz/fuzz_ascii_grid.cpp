// Fuzzes the ESRI ASCII grid reader through run set-up: any bytes that begin as a grid
// either give a plot whose named cells hold their values or end with one of the
// program's messages, and never disturb the other initial grid.
#include <cstring>
#include <memory>
#include <string>

#include "AsciiGrid.h"
#include "Errors.h"
#include "FuzzFiles.h"
#include "Simul.h"

using namespace glebix;
using namespace glebix::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::unique_ptr<Simul> simul = [] {
        auto s = std::make_unique<Simul>();
        s->Settings.Initial.EnvInitMode = 2;
        s->Settings.Initial.DistInitMode = 0;
        return s;
    }();
    // Every input is read as a grid: the header's first key comes first.
    std::string text = "ncols ";
    text.append(reinterpret_cast<const char *>(data), size);
    Simul &s = *simul;
    s.Settings.Initial.DistFilePath = WriteInputFile(reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
    PoisonPlot(s.Plot);

    std::int64_t named = 0;
    bool accepted = true;
    try {
        // The grid's own size, as set-up takes it.
        ReadAsciiGrid(
            text, "grille",
            [&named](int i, int j, std::string_view) {
                Require(i >= 0 && i < MaxPlotSide && j >= 0 && j < MaxPlotSide, "a cell outside the largest plot");
                ++named;
            },
            AsciiGridSize(text, "grille"));
    } catch (const GlebixError &) { accepted = false; }

    std::string message;
    try {
        s.SetUpRun(5u);
    } catch (const GlebixError &e) { message = e.what(); }
    Require(message.empty() == accepted || message == MsgBadNumber.French() || message == MsgCountNotWhole.French(),
            "set-up and the reader disagree on whether the grid is whole");
    // The grid gives the plot its size; a set-up that failed leaves no plot to look at.
    if (!message.empty()) return 0;
    Require(named <= std::int64_t{s.Plot.Width} * s.Plot.Height, "more cells named than the plot has");
    for (int i = 0; i < s.Plot.Width; ++i)
        for (int j = 0; j < s.Plot.Height; ++j)
            Require(s.Plot.Env[i][j].Compacted == 20, "the environment was disturbed");
    return 0;
}
