// Fuzzes the initial distribution file reader through run set-up and compares the
// resulting counts and outcome with the file model.
#include <cstring>
#include <memory>
#include <string>

#include "Errors.h"
#include "FuzzFiles.h"
#include "InitialFileModel.h"
#include "Simul.h"

using namespace glebix;
using namespace glebix::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::unique_ptr<Simul> simul = [] {
        auto s = std::make_unique<Simul>();
        s->Settings.Initial.EnvInitMode = 2;  // homogeneous: no draws, a known environment
        s->Settings.Initial.EnvConstant = "20";
        s->Settings.Initial.DistInitMode = 0;
        return s;
    }();
    static std::int32_t expected[50][50];
    Simul &s = *simul;
    s.Settings.Initial.DistFilePath = WriteInputFile(data, size);
    PoisonPlot(s.Plot);

    std::memset(expected, 0, sizeof expected);
    const FileOutcome model = RunFileModel(data, size, [](int i, int j, std::string_view token) {
        const auto v = ModelWhole(token);
        if (!v) return FileOutcome::BadNumber;
        expected[i][j] = *v;
        return FileOutcome::Complete;
    });

    std::string message;
    try {
        s.SetUpRun(7u);
    } catch (const GlebixError &e) { message = e.what(); }
    if (model == FileOutcome::Grid) return 0;  // a grid is compared by fuzz_ascii_grid
    switch (model) {
    case FileOutcome::Complete:
        Require(message.empty(), "a valid distribution file is refused");
        break;
    case FileOutcome::BadNumber:
        Require(message == MsgBadNumber.French(), "expected the numeric-input message");
        break;
    case FileOutcome::OutOfPlot:
        Require(StartsWith(message, "Case hors de la parcelle"), "expected the out-of-plot message");
        break;
    case FileOutcome::Overflow:
        Require(false, "a whole number cannot overflow");
        break;
    case FileOutcome::Grid:
    case FileOutcome::OutOfScale:  // environment values only
        break;
    }
    Require(s.RandomSeed == 7u, "set-up drew random numbers");
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 50; ++j) {
            Require(s.Plot.Density[i][j] == expected[i][j], "count differs from the model");
            Require(s.Plot.Env[i][j].Compacted == 20 && s.Plot.Env[i][j].Decompacted == 80,
                    "the environment was disturbed");
        }
    return 0;
}
