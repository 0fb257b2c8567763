// Fuzzes the initial environment file reader through run set-up and compares the
// resulting plot and outcome with the file model.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "Errors.h"
#include "FuzzFiles.h"
#include "InitialFileModel.h"
#include "InitialFiles.h"
#include "Simul.h"

using namespace glebix;
using namespace glebix::fuzz;

namespace {

struct Expected {
    double Compacted[50][50];
    double Decompacted[50][50];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::unique_ptr<Simul> simul = [] {
        auto s = std::make_unique<Simul>();
        s->Settings.Initial.EnvInitMode = 0;
        s->Settings.Initial.DistInitMode = 2;
        s->Settings.Initial.DistConstant = "3";
        return s;
    }();
    static Expected expected;
    Simul &s = *simul;
    s.Settings.Initial.EnvFilePath = WriteInputFile(data, size);
    // Leftovers of the previous input must not show through.
    PoisonPlot(s.Plot);

    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 50; ++j) {
            expected.Compacted[i][j] = -5;
            expected.Decompacted[i][j] = 105;
        }
    const FileOutcome model = RunFileModel(data, size, [](int i, int j, std::string_view token) {
        const ModelReal v = ModelRealToken(token);
        if (!v.valid) return FileOutcome::BadNumber;
        if (v.overflow) return FileOutcome::Overflow;
        if (std::abs(v.value) > MaxCompactedShare) return FileOutcome::OutOfScale;
        expected.Compacted[i][j] = v.value;
        expected.Decompacted[i][j] = std::max(0.0, 100.0 - v.value);
        return FileOutcome::Complete;
    });

    std::string message;
    try {
        s.SetUpRun(20240601u);
    } catch (const GlebixError &e) { message = e.what(); }
    if (model == FileOutcome::Grid) return 0;  // a grid is compared by fuzz_ascii_grid
    switch (model) {
    case FileOutcome::Complete:
        Require(message.empty(), "a valid environment file is refused");
        break;
    case FileOutcome::BadNumber:
        Require(message == MsgBadNumber.French(), "expected the numeric-input message");
        break;
    case FileOutcome::OutOfPlot:
        Require(StartsWith(message, "Case hors de la parcelle"), "expected the out-of-plot message");
        break;
    case FileOutcome::Overflow:
        Require(message == MsgOverflow.French(), "expected the overflow message");
        break;
    case FileOutcome::OutOfScale:
        Require(StartsWith(message, "taux de compaction hors d'échelle"), "expected the out-of-scale message");
        break;
    case FileOutcome::Grid:
        break;
    }
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 50; ++j) {
            Require(s.Plot.Env[i][j].Compacted == expected.Compacted[i][j], "compacted share differs from the model");
            Require(s.Plot.Env[i][j].Decompacted == expected.Decompacted[i][j], "decompacted share differs");
            Require(s.Plot.Density[i][j] == 3, "the distribution was disturbed");
        }
    return 0;
}
