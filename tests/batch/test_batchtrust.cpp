// What a batch leaves behind can be trusted: inputs read once and recorded as used,
// outputs that never clobber an input or each other, one invocation per folder, a
// folder that tells the truth after any end (signals included), threads and memory
// within the system's limits, and the check of all this before running.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sstream>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "OutputPlaces.h"
#include "ResultFile.h"
#include "RunPlan.h"
#include "TestFiles.h"
#include "Threads.h"
#include "Validate.h"

using namespace glebix;
using namespace glebix::batch;
using namespace glebix::invocation;
using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;
namespace fs = std::filesystem;

extern char **environ;

namespace {

struct Outcome {
    int status;          // exit status, or 128 + signal when killed
    std::string output;  // stdout and stderr together
};

// Runs the program through the shell (for pipes and redirections).
Outcome Shell(const std::string &command, const ScratchDir &dir) {
    const std::string log = dir / "shell-output.txt";
    const std::string line = "cd '" + dir.Path() + "' && (" + command + ") >'" + log + "' 2>&1";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadAll(log)};
}

const std::string Program = GLEBIX_BATCH_PROGRAM;

std::string Sha256(const std::string &bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString();
}

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// Every file under `dir` whose name ends with ".part".
std::vector<std::string> PartFiles(const std::string &dir) {
    std::vector<std::string> parts;
    for (const auto &e : fs::recursive_directory_iterator(dir))
        if (e.path().filename().string().ends_with(".part")) parts.push_back(e.path().string());
    return parts;
}

// The program started in the background with its output in `log`.
pid_t Spawn(const std::vector<std::string> &arguments, const std::string &log) {
    std::vector<std::string> all{Program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    posix_spawn(&pid, Program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits until `path` holds at least `lines` lines (the run is under way), at most 30 s.
bool WaitForLines(const std::string &path, std::size_t lines) {
    for (int k = 0; k < 3000; ++k) {
        const std::string text = ReadAll(path);
        if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Waits until process `pid` has used `cpu` of processor time, however loaded the
// machine; false after a minute.
bool WaitForCpuTime(pid_t pid, std::chrono::milliseconds cpu) {
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    for (int k = 0; k < 6000; ++k) {
        const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
        // After the command's name in parentheses: fields 3 on; utime and stime are 14 and 15.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string skip;
        for (int field = 3; field < 14; ++field) fields >> skip;
        long long utime = 0, stime = 0;
        fields >> utime >> stime;
        if ((utime + stime) * 1000 / ticksPerSecond >= cpu.count()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int ExitStatus(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

BatchOptions Options(std::vector<std::string> args) {
    ParsedCommandLine p = ParseCommandLine(args);
    EXPECT_TRUE(p.Problems.empty()) << p.Problems.front();
    return p.Options;
}

}  // namespace

// ---- Inputs read once ------------------------------------------------------------

TEST(BatchTrust, InputsFromAPipeAreUsedAndRecorded) {
    ScratchDir dir;
    Outcome o = Shell("printf '25 25 10\\n' | " + Program +
                          " --set DistInitMode=0 --set DistFilePath=/dev/stdin --steps 0 --seed 1 --quiet --asc g",
                      dir);
    ASSERT_EQ(o.status, 0) << o.output;
    const std::string grid = ReadAll(dir / "g/density.asc");
    EXPECT_EQ(grid.find("10"), grid.rfind("10")) << "one cell of 10";
    EXPECT_NE(grid.find(" 10 "), std::string::npos) << grid;
    const std::string manifest = ReadAll(dir / "g/manifest.json");
    EXPECT_TRUE(Contains(manifest, "\"sha256\": \"" + Sha256("25 25 10\n") + "\"")) << manifest;
    EXPECT_TRUE(Contains(manifest, "\"size\": 9")) << manifest;

    // The species file from a pipe: applied, and recorded with its real size.
    const std::string species = "0.7 3 1 0.5 2 0.2 0 0.9 1 1.25\n";
    o = Shell("printf '" + species.substr(0, species.size() - 1) + "\\n' | " + Program +
                  " --species /dev/stdin --steps 0 --seed 1 --quiet --out s",
              dir);
    ASSERT_EQ(o.status, 0) << o.output;
    const std::string second = ReadAll(dir / "s/manifest.json");
    EXPECT_TRUE(Contains(second, "\"Survival\": \"0.7\"")) << second;
    EXPECT_TRUE(Contains(second, "\"sha256\": \"" + Sha256(species) + "\"")) << second;
}

TEST(BatchTrust, AnInputChangedDuringTheBatchIsNotReadAgain) {
    ScratchDir dir;
    const std::string dist = dir.File("dist.txt", "1 1 7\n");
    const BatchOptions o = Options({"--steps", "0", "--replicates", "3", "--jobs", "2", "--asc", dir / "g", "--set",
                                    "DistInitMode=0", "--set", "DistFilePath=" + dist});
    RunInputs(o);                     // the batch reads its inputs first
    dir.File("dist.txt", "1 1 9\n");  // then the file changes
    ASSERT_EQ(RunBatch(o, 4, false, {}).ExitStatus, 0);
    for (const char *run : {"run-001", "run-002", "run-003"}) {
        EXPECT_EQ(ReadAll(dir / ("g/" + std::string(run) + "/density.asc")).find('9'), std::string::npos) << run;
        EXPECT_TRUE(Contains(ReadAll(dir / ("g/" + std::string(run) + "/manifest.json")), Sha256("1 1 7\n"))) << run;
    }
}

TEST(BatchTrust, HugeAndEndlessInputsAreRefusedQuickly) {
    ScratchDir dir;
    Outcome o = Shell(Program + " --set EnvInitMode=0 --set EnvFilePath=/dev/zero --steps 1 --seed 1 --quiet", dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(Contains(o.output, "Fichier « /dev/zero » trop grand : plus de 400 Mio")) << o.output;
    o = Shell(Program + " --validate --set DistInitMode=0 --set DistFilePath=/dev/urandom", dir);
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Contains(o.output, "DistFilePath « /dev/urandom » : Fichier « /dev/urandom » trop grand")) << o.output;
    o = Shell(Program + " --species /dev/zero --steps 1", dir);
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Contains(o.output, "--species « /dev/zero » : Fichier « /dev/zero » trop grand")) << o.output;
}

// ---- Output places ------------------------------------------------------------------

TEST(BatchTrust, AnOutputAimedAtAnInputOrAnotherOutputIsAUsageError) {
    ScratchDir dir;
    dir.File("p.txt", "Survival=0.35\n");
    dir.File("d.txt", "1 1 5\n");
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"--params p.txt --trace p.txt", "--trace «p.txt» et --params «p.txt» désignent le même fichier"},
        {"--set DistInitMode=0 --set DistFilePath=d.txt --trace ./d.txt",
         "--trace «./d.txt» et DistFilePath «d.txt» désignent le même fichier"},
        {"--out o --trace o/" + ResultFileName(), "et --trace «o/" + ResultFileName() + "» désignent le même fichier"},
        {"--out o --trace o/manifest.json", "--trace «o/manifest.json» et le manifeste «o/manifest.json»"},
        {"--asc g --trace g/density.asc", "--trace «g/density.asc» et la grille «g/density.asc» désignent"},
        {"--snapshots m --trace m/map-00010.png", "ce nom est celui d'une carte"},
        {"--out o --trace o", "un même chemin ne peut être fichier et dossier"},
        {"--replicates 2 --out o --trace o/summary.csv --asc o", ""},  // run-NNN/summary.csv: no clash
    };
    for (const auto &c : cases) {
        const Outcome o = Shell(Program + " --steps 2 --seed 1 --quiet " + c.arguments, dir);
        if (c.message.empty()) {
            EXPECT_EQ(o.status, 0) << c.arguments << "\n" << o.output;
            continue;
        }
        EXPECT_EQ(o.status, 2) << c.arguments;
        EXPECT_TRUE(Contains(o.output, c.message)) << c.arguments << "\n" << o.output;
        EXPECT_EQ(Shell(Program + " --validate --steps 2 " + c.arguments, dir).status, 2) << c.arguments;
    }
    EXPECT_EQ(ReadAll(dir / "p.txt"), "Survival=0.35\n");
    EXPECT_EQ(ReadAll(dir / "d.txt"), "1 1 5\n");
    EXPECT_FALSE(fs::exists(dir / "g"));
}

// A raster input read by band or variable ("f.tif:1", "f.nc:compacted") is its file,
// whether it comes from --set or a design, and whether its mode reads it or not: an
// output there is refused before anything is written, and the input stays.
TEST(BatchTrust, AnInputChosenByBandOrVariableIsNeverAnOutput) {
    ScratchDir dir;
    ASSERT_EQ(Shell(Program + " --steps 1 --seed 1 --quiet --tif src --netcdf src/s.nc", dir).status, 0);
    const std::string tif = ReadAll(dir / "src/compacted.tif"), nc = ReadAll(dir / "src/s.nc");
    fs::create_directories(dir / "vt");
    fs::create_directories(dir / "point-001/run-001");
    for (const char *copy : {"victim.tif", "vt/compacted.tif", "point-001/run-001/p.tif"})
        fs::copy_file(dir / "src/compacted.tif", dir / copy);
    for (const char *copy : {"victim.nc", "v2.nc"}) fs::copy_file(dir / "src/s.nc", dir / copy);
    dir.File("d.csv", "EnvFilePath\npoint-001/run-001/p.tif:1\n");
    const std::string env = " --set EnvInitMode=0 --set EnvFilePath=";
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {env + "victim.tif:1 --netcdf victim.tif", "--netcdf «victim.tif» et EnvFilePath «victim.tif:1»"},
        {env + "vt/compacted.tif:1 --tif vt", "la grille «vt/compacted.tif» et EnvFilePath «vt/compacted.tif:1»"},
        {" --set DistFilePath=v2.nc:named --netcdf v2.nc", "--netcdf «v2.nc» et DistFilePath «v2.nc:named»"},
        {env + "victim.nc:compacted --netcdf victim.nc", "--netcdf «victim.nc» et EnvFilePath «victim.nc:compacted»"},
        {env + "src/compacted.tif --design d.csv --netcdf p.tif", "EnvFilePath «point-001/run-001/p.tif:1»"},
    };
    for (const auto &c : cases) {
        const Outcome o = Shell(Program + " --steps 2 --seed 1 --quiet" + c.arguments, dir);
        EXPECT_EQ(o.status, 2) << c.arguments << "\n" << o.output;
        EXPECT_TRUE(Contains(o.output, c.message)) << c.arguments << "\n" << o.output;
        EXPECT_TRUE(Contains(o.output, "désignent le même fichier")) << o.output;
    }
    for (const char *input : {"victim.tif", "vt/compacted.tif", "point-001/run-001/p.tif"})
        EXPECT_EQ(ReadAll(dir / input), tif) << input;
    for (const char *input : {"victim.nc", "v2.nc"}) EXPECT_EQ(ReadAll(dir / input), nc) << input;
}

TEST(BatchTrust, ValidateChecksOutputPlacesAndTheFirstStep) {
    ScratchDir dir;
    const std::string file = dir.File("file", "");
    fs::create_directory(dir / "folder");
    const struct {
        std::vector<std::string> arguments;
        std::string problem;
    } cases[] = {
        {{"--out", "/proc/glebix-out"}, "--out «/proc/glebix-out» : impossible d'écrire dans «/proc»"},
        {{"--trace", file + "/t.csv"}, "le dossier de --trace «" + file + "» : existe déjà et n'est pas un dossier"},
        {{"--asc", file + "/sub/g"}, "--asc «" + file + "/sub/g» : «" + file + "» n'est pas un dossier"},
        {{"--trace", dir / "folder"}, "--trace «" + (dir / "folder") + "» : c'est un dossier, pas un fichier"},
        {{"--set", "Fecundity=1e300", "--out", dir / "o"}, "simulation : "},
        {{"--trace", dir / "a\nb/t.csv", "--out", file + "/x\ty"}, "--out «" + file + "/x\\x09y»"},
    };
    for (const auto &c : cases) {
        const auto problems = ValidateRun(Options(c.arguments));
        ASSERT_FALSE(problems.empty()) << c.problem;
        EXPECT_TRUE(Contains(problems.front(), c.problem)) << problems.front();
    }
    // Nothing was made by the checks.
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"file", "folder"}));
    EXPECT_TRUE(ValidateRun(Options({"--steps", "3", "--out", dir / "o", "--replicates", "4"})).empty());
}

TEST(BatchTrust, ASecondInvocationOnTheSameFolderStopsAtOnce) {
    ScratchDir dir;
    fs::create_directory(dir / "out");
    const int fd = ::open((dir / "out").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);  // as a running invocation holds it
    const Outcome o = Shell(Program + " --steps 2 --seed 1 --quiet --out out --trace t.csv", dir);
    ::close(fd);
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Contains(o.output, "le dossier de sortie «out» est déjà utilisé par une autre invocation")) << o.output;
    EXPECT_TRUE(fs::is_empty(dir / "out"));
    EXPECT_FALSE(fs::exists(dir / "t.csv"));
    EXPECT_EQ(Shell(Program + " --steps 2 --seed 1 --quiet --out out", dir).status, 0);  // free again
}

// ---- Study-wide files ---------------------------------------------------------------

// The lines of `text`, and whether each has `fields` fields.
std::pair<std::size_t, bool> RowsOf(const std::string &text, std::size_t fields) {
    std::size_t lines = 0;
    bool even = true;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line); ++lines)
        even = even && static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1 == fields;
    return {lines, even && (text.empty() || text.back() == '\n')};
}

constexpr std::size_t TableFields = 10;  // without a design

// Two invocations given one table: the second is refused before it runs anything and
// the first one's table is whole.
TEST(BatchTrust, ASecondInvocationOnTheSameTableIsRefused) {
    ScratchDir dir;
    const pid_t first = Spawn({"--replicates", "2", "--steps", "1500", "--seed", "1", "--jobs", "1", "--quiet",
                               "--table", dir / "same.csv", "--out", dir / "a"},
                              dir / "log");
    ASSERT_TRUE(WaitForLines(dir / "same.csv.part", 1)) << ReadAll(dir / "log");  // the header: under way
    const Outcome second = Shell(Program + " --replicates 3 --steps 5 --seed 2 --quiet --table same.csv --out b", dir);
    EXPECT_EQ(second.status, 2);
    EXPECT_TRUE(Contains(second.output, "«same.csv» est déjà écrit par une autre invocation")) << second.output;
    EXPECT_FALSE(fs::exists(dir / "b/run-001"));
    ASSERT_EQ(ExitStatus(first), 0) << ReadAll(dir / "log");
    EXPECT_EQ(RowsOf(ReadAll(dir / "same.csv"), TableFields), std::make_pair(std::size_t{1 + 2 * 1501}, true));
    EXPECT_TRUE(PartFiles(dir.Path()).empty());
}

// An invocation stopped by a signal keeps its rows under a name that says so, beside
// a manifest of its runs, and leaves the earlier complete table as it was; runs that
// end on a fault of the model are results, and their table is complete.
TEST(BatchTrust, AnInterruptedStudyNeverPassesForComplete) {
    ScratchDir dir;
    ASSERT_EQ(Shell(Program + " --replicates 3 --steps 5 --seed 1 --quiet --table int.csv", dir).status, 0);
    const std::string earlier = ReadAll(dir / "int.csv");
    const pid_t pid = Spawn({"--replicates", "20", "--steps", "100000000", "--seed", "3", "--jobs", "2", "--quiet",
                             "--table", dir / "int.csv", "--trace", dir / "t/t.csv"},
                            dir / "log");
    ASSERT_TRUE(WaitForLines(dir / "t/run-002/t.csv.part", 3)) << ReadAll(dir / "log");
    ::kill(pid, SIGTERM);
    EXPECT_EQ(ExitStatus(pid), 143) << ReadAll(dir / "log");
    EXPECT_EQ(ReadAll(dir / "int.csv"), earlier);
    EXPECT_TRUE(RowsOf(ReadAll(dir / "int.csv.incomplete"), TableFields).second);
    const std::string manifest = ReadAll(dir / "int.csv.incomplete.json");
    for (const char *part :
         {"\"status\": \"incomplete\"", "\"whole_runs\": 0,", "\"replicates\": \"1\", \"status\": \"interrupted\"",
          "\"replicates\": \"3-20\", \"status\": \"not_started\""})
        EXPECT_TRUE(Contains(manifest, part)) << part << "\n" << manifest;
    EXPECT_TRUE(PartFiles(dir.Path()).empty());

    // Faults of the model (an overflow at step 1): a result, in place, and the
    // incomplete file of the earlier invocation goes.
    const Outcome faulted =
        Shell(Program + " --replicates 2 --steps 5 --seed 1 --quiet --table int.csv --set Fecundity=1e300", dir);
    EXPECT_EQ(faulted.status, 1) << faulted.output;
    EXPECT_EQ(RowsOf(ReadAll(dir / "int.csv"), TableFields), std::make_pair(std::size_t{3}, true));
    EXPECT_FALSE(fs::exists(dir / "int.csv.incomplete"));
    EXPECT_FALSE(fs::exists(dir / "int.csv.incomplete.json"));
}

// A table that cannot be written in full (a file size limit) keeps the rows of the
// runs written before, each run whole, as an incomplete file.
TEST(BatchTrust, ATableThatCannotBeWrittenKeepsItsWholeRuns) {
    ScratchDir dir;
    const Outcome o = Shell(
        "trap '' XFSZ; ulimit -f 20; " + Program + " --replicates 6 --steps 50 --seed 1 --jobs 2 --quiet --table w.csv",
        dir);
    EXPECT_EQ(o.status, 1) << o.output;
    EXPECT_FALSE(fs::exists(dir / "w.csv"));
    const auto [lines, even] = RowsOf(ReadAll(dir / "w.csv.incomplete"), TableFields);
    EXPECT_TRUE(even);
    ASSERT_EQ((lines - 1) % 51, 0u) << lines;
    const std::string manifest = ReadAll(dir / "w.csv.incomplete.json");
    EXPECT_TRUE(Contains(manifest, "\"whole_runs\": " + std::to_string((lines - 1) / 51) + ",")) << manifest;
    EXPECT_TRUE(Contains(manifest, "\"status\": \"rows_not_written\"")) << manifest;
}

// A study-wide file on the place of a later run's output is found by the folders'
// rule, whichever run it is.
TEST(BatchTrust, ATableOnALaterRunsOutputIsRefused) {
    ScratchDir dir;
    glebix::testing::WriteAll(dir / "d.csv", "Survival\n0.3\n0.4\n0.5\n");
    const std::string result = ResultFileName();
    const struct {
        std::vector<std::string> arguments;
        std::string clash;  // the start of the problem; empty: none
    } cases[] = {
        {{"--design", dir / "d.csv", "--replicates", "2", "--out", dir / "o", "--table",
          dir / ("o/point-002/run-002/" + result)},
         "--table «" + (dir / ("o/point-002/run-002/" + result)) + "» et le fichier de résultats"},
        {{"--replicates", "3", "--out", dir / "o", "--table", dir / "o/run-003/manifest.json"},
         "--table «" + (dir / "o/run-003/manifest.json") + "» et le manifeste"},
        {{"--replicates", "3", "--asc", dir / "g", "--table", dir / "g/run-002"}, "--table «" + (dir / "g/run-002")},
        {{"--design", dir / "d.csv", "--points", "1", "--out", dir / "o", "--table",
          dir / ("o/point-002/run-001/" + result)},
         ""},  // a run of another invocation
        {{"--replicates", "3", "--out", dir / "o", "--table", dir / "o/run-004/manifest.json"}, ""},
        {{"--replicates", "3", "--out", dir / "o", "--table", dir / "o/run-02/manifest.json"}, ""},
    };
    for (const auto &c : cases) {
        const std::vector<std::string> problems = CheckOutputPlaces(Options(c.arguments));
        if (c.clash.empty()) {
            EXPECT_TRUE(problems.empty()) << problems.front();
            continue;
        }
        ASSERT_FALSE(problems.empty()) << c.clash;
        EXPECT_EQ(problems.front().rfind(c.clash, 0), 0u) << problems.front();
    }
    const Outcome o = Shell(Program + " --replicates 3 --steps 2 --out o --table o/run-002/" + result, dir);
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Contains(o.output, "désignent le même fichier")) << o.output;
    EXPECT_FALSE(fs::exists(dir / "o/run-001"));
}

// ---- A folder that tells the truth ---------------------------------------------------

// An interrupted rerun replaces the earlier run's outputs with its own, and its
// manifest says how it ended.
TEST(BatchTrust, AnInterruptedRerunLeavesOnlyItsOwnOutputs) {
    ScratchDir dir;
    const std::vector<std::string> outputs = {"--out",       dir / "r",      "--trace", dir / "r/t.csv",
                                              "--snapshots", dir / "r/maps", "--every", "1",
                                              "--asc",       dir / "r/g",    "--quiet"};
    std::vector<std::string> first = outputs;
    for (const char *a : {"--steps", "4", "--seed", "1"}) first.push_back(a);
    ASSERT_EQ(ExitStatus(Spawn(first, dir / "log1")), 0);
    ASSERT_TRUE(fs::exists(dir / ("r/" + ResultFileName())));

    for (const int signal : {SIGINT, SIGTERM}) {
        std::vector<std::string> second = outputs;
        for (const char *a : {"--steps", "100000000", "--seed", "2"}) second.push_back(a);
        const pid_t pid = Spawn(second, dir / "log2");
        ASSERT_TRUE(WaitForLines(dir / "r/t.csv.part", 4)) << ReadAll(dir / "log2");
        ::kill(pid, signal);
        EXPECT_EQ(ExitStatus(pid), 128 + signal) << ReadAll(dir / "log2");
        const std::string manifest = ReadAll(dir / "r/manifest.json");
        EXPECT_TRUE(Contains(manifest, "\"status\": \"interrupted\"")) << manifest;
        EXPECT_TRUE(Contains(manifest, "\"seed\": 2,")) << manifest;
        EXPECT_TRUE(PartFiles(dir / "r").empty());
        EXPECT_FALSE(fs::exists(dir / ("r/" + ResultFileName())));  // the earlier run's, gone with it
        EXPECT_FALSE(fs::exists(dir / "r/g/density.asc"));
        const std::string trace = ReadAll(dir / "r/t.csv");
        const auto rows = std::count(trace.begin(), trace.end(), '\n') - 1;
        EXPECT_GE(rows, 3);
        EXPECT_TRUE(Contains(manifest, "\"steps_reached\": " + std::to_string(rows) + ",")) << manifest;
        std::size_t maps = 0;
        for (const auto &e : fs::directory_iterator(dir / "r/maps")) maps += e.path().extension() == ".png";
        EXPECT_EQ(static_cast<long>(maps), rows);
    }
}

// The second signal comes during a long first step (25 million individuals spread
// over the whole plot, each by the exact expression): the program ends at once,
// without waiting for the step, without writing a manifest and without leaving a
// temporary file.
TEST(BatchTrust, ASecondSignalEndsAtOnceWithoutTemporaryFiles) {
    ScratchDir dir;
    const pid_t pid = Spawn(
        {"--steps", "5", "--seed", "3", "--quiet", "--jobs", "1", "--trace", dir / "r/t.csv", "--set",
         "DispersalFirst=on", "--set", "DistInitMode=2", "--set", "DistConstant=100000", "--set", "DispersalSigma=1e6"},
        dir / "log");
    ASSERT_TRUE(WaitForLines(dir / "r/t.csv.part", 1)) << ReadAll(dir / "log");
    // The header is written before the set-up: a first signal before the first step
    // would end the run there, before the second came. Start and set-up take some
    // 50 ms of processor time, the first step over a second: the signals come within it
    // even on a loaded machine, where a wait by the clock might not reach it.
    ASSERT_TRUE(WaitForCpuTime(pid, std::chrono::milliseconds(300)));
    ::kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ::kill(pid, SIGINT);
    EXPECT_EQ(ExitStatus(pid), 130) << ReadAll(dir / "log");
    EXPECT_TRUE(PartFiles(dir / "r").empty());
    EXPECT_FALSE(fs::exists(dir / "r/manifest.json"));
    EXPECT_FALSE(fs::exists(dir / "r/t.csv"));
}

TEST(BatchTrust, InterruptedReplicatesKeepTheSummaryOfWhatRanAsIncomplete) {
    ScratchDir dir;
    const pid_t pid = Spawn({"--steps", "100000000", "--seed", "3", "--quiet", "--replicates", "5", "--jobs", "1",
                             "--out", dir / "r", "--trace", dir / "r/t.csv"},
                            dir / "log");
    ASSERT_TRUE(WaitForLines(dir / "r/run-001/t.csv.part", 3)) << ReadAll(dir / "log");
    ::kill(pid, SIGTERM);
    EXPECT_EQ(ExitStatus(pid), 143) << ReadAll(dir / "log");
    EXPECT_TRUE(Contains(ReadAll(dir / "r/run-001/manifest.json"), "\"status\": \"interrupted\""));
    EXPECT_FALSE(fs::exists(dir / "r/run-002"));  // never started
    EXPECT_FALSE(fs::exists(dir / "r/summary.csv"));
    const std::string summary = ReadAll(dir / "r/summary.csv.incomplete");
    EXPECT_TRUE(Contains(summary, "\n1,1,")) << summary;
    EXPECT_TRUE(PartFiles(dir / "r").empty());
}

// A manifest that cannot be written keeps the earlier run whole.
TEST(BatchTrust, AFailedManifestKeepsTheEarlierRun) {
    ScratchDir dir;
    ASSERT_EQ(
        RunBatch(Options({"--steps", "3", "--out", dir / "r", "--trace", dir / "r/t.csv"}), 1, false, {}).ExitStatus,
        0);
    const std::string earlierTrace = ReadAll(dir / "r/t.csv");
    const std::string earlierManifest = ReadAll(dir / "r/manifest.json");
    fs::create_directory(dir / "r/manifest.json.part");  // the manifest's temporary name is taken
    const BatchOutcome outcome =
        RunBatch(Options({"--steps", "5", "--out", dir / "r", "--trace", dir / "r/t.csv"}), 2, false, {});
    EXPECT_EQ(outcome.ExitStatus, 1);
    EXPECT_EQ(ReadAll(dir / "r/t.csv"), earlierTrace);
    EXPECT_EQ(ReadAll(dir / "r/manifest.json"), earlierManifest);
    EXPECT_FALSE(fs::exists(dir / "r/t.csv.part"));
}

// A full disk never leaves an empty or partial output: the folder holds the earlier
// run's outputs whole, with the manifest of the failed run when it had room.
TEST(BatchTrust, AFullDiskLeavesOneTruthfulRun) {
    const glebix::testing::SmallTmpfs disk("size=256k");
    if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::string r = disk.Dir() / "r";
    const std::vector<std::string> places = {"--out", r, "--trace", r + "/t.csv", "--asc", r + "/g"};
    std::vector<std::string> first = places, second = places;
    first.insert(first.end(), {"--steps", "3"});
    ASSERT_EQ(RunBatch(Options(first), 1, false, {}).ExitStatus, 0);
    std::map<std::string, std::string> earlier;
    for (const auto &e : fs::recursive_directory_iterator(r))
        if (e.is_regular_file()) earlier[e.path().string()] = ReadAll(e.path().string());

    second.insert(second.end(), {"--steps", "400", "--snapshots", r + "/maps", "--every", "1"});
    const BatchOutcome outcome = RunBatch(Options(second), 2, false, {});
    EXPECT_EQ(outcome.ExitStatus, 1);
    ASSERT_EQ(outcome.Messages.count(0), 1u);
    EXPECT_TRUE(Contains(outcome.Messages.at(0), "Disque plein")) << outcome.Messages.at(0);
    EXPECT_TRUE(PartFiles(r).empty());
    for (const auto &e : fs::recursive_directory_iterator(r)) {
        if (e.is_regular_file()) { EXPECT_GT(e.file_size(), 0u) << e.path(); }
    }
    // The earlier run's outputs stay whole; the manifest is the failed run's, or the
    // earlier one when the disk had no room left for it either.
    const std::string manifest = ReadAll(r + "/manifest.json");
    for (const auto &[path, bytes] : earlier) {
        if (!path.ends_with("manifest.json") || !Contains(manifest, "\"seed\": 2,")) {
            EXPECT_EQ(ReadAll(path), bytes) << path;
        }
    }
    if (Contains(manifest, "\"seed\": 2,")) {
        EXPECT_TRUE(Contains(manifest, "\"status\": \"error\"")) << manifest;
        EXPECT_TRUE(Contains(manifest, "Disque plein")) << manifest;
    }
}

// Every file of a folder, by path, with its bytes (the manifest aside).
std::map<std::string, std::string> FilesBelow(const std::string &dir) {
    std::map<std::string, std::string> files;
    for (const auto &e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file() && e.path().filename() != "manifest.json")
            files[e.path().string()] = ReadAll(e.path().string());
    return files;
}

// A failed run, whether before its first step (a missing input), on a fault of the
// model or on an output it cannot write, leaves every earlier output under the name
// given as it was, byte for byte, and says its error once. What it did up to its fault
// is kept aside under <name>.incomplete, and its manifest says so.
TEST(BatchTrust, AFailedRunLeavesEveryEarlierOutputAsItWas) {
    ScratchDir dir;
    // (The checkpoint is left out: it is the run's own, replaced as the run goes.)
    const std::string outputs =
        " --out r --trace r/t.csv --snapshots r/maps --every 1 --asc r/g --tif r/tif"
        " --netcdf r/s.nc --animate r/a.gif --save-state r/s.txt";
    ASSERT_EQ(Shell(Program + " --steps 3 --seed 1 --quiet" + outputs, dir).status, 0);
    const std::map<std::string, std::string> earlier = FilesBelow(dir / "r");
    ASSERT_EQ(earlier.size(), 13u);
    const struct {
        std::string limit;
        std::string arguments;
        std::string message;
        bool setUp;  // the run was set up: it keeps its files aside
    } cases[] = {
        {"", "--steps 3 --set EnvInitMode=0 --set EnvFilePath=absent.asc", "Fichier introuvable", false},
        {"", "--steps 3 --set Fecundity=1e300", "virgule flottante", true},
        // The NetCDF stack outgrows the largest file allowed midway.
        {"trap '' XFSZ; ulimit -f 150; ", "--steps 400", "Écriture impossible du fichier NetCDF", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome o = Shell(c.limit + Program + " --seed 2 " + c.arguments + outputs, dir);
        EXPECT_EQ(o.status, 1) << o.output;
        EXPECT_EQ(std::count(o.output.begin(), o.output.end(), '\n'), 1) << o.output;
        EXPECT_TRUE(Contains(o.output, c.message)) << o.output;
        const std::string manifest = ReadAll(dir / "r/manifest.json");
        EXPECT_TRUE(Contains(manifest, "\"status\": \"error\"")) << manifest;
        EXPECT_TRUE(PartFiles(dir / "r").empty());
        for (const auto &[path, bytes] : FilesBelow(dir / "r")) {
            if (path.ends_with(".incomplete")) {
                EXPECT_TRUE(c.setUp) << path;
                EXPECT_TRUE(Contains(manifest, fs::path(path).filename().string() + "\"")) << path;
                fs::remove(path);
                continue;
            }
            ASSERT_TRUE(earlier.count(path)) << path;
            EXPECT_TRUE(earlier.at(path) == bytes) << path;
        }
        EXPECT_EQ(FilesBelow(dir / "r").size(), earlier.size());
    }
    // A later run that completes leaves its own outputs only, and no file aside.
    ASSERT_EQ(Shell(Program + " --steps 2 --seed 3 --set Fecundity=1e300 --trace r/t.csv --quiet", dir).status, 1);
    ASSERT_TRUE(fs::exists(dir / "r/t.csv.incomplete"));
    ASSERT_EQ(Shell(Program + " --steps 2 --seed 3 --trace r/t.csv --quiet", dir).status, 0);
    EXPECT_FALSE(fs::exists(dir / "r/t.csv.incomplete"));
}

// ---- Threads and memory ------------------------------------------------------------

// A design of a million points is checked in a few seconds and little more memory than
// its file, and a fault that only one point's extreme value brings is still found.
TEST(BatchTrust, AMillionPointDesignIsCheckedCompactly) {
    ScratchDir dir;
    constexpr int points = 1000000, faulty = 765432;
    std::string design = "Survival,Fecundity\n";
    for (int p = 1; p <= points; ++p)
        design +=
            "0." + std::to_string(200 + p % 300) + "," + (p == faulty ? "1e300" : std::to_string(2 + p % 7)) + "\n";
    glebix::testing::WriteAll(dir / "d.csv", design);
    const pid_t pid =
        Spawn({"--validate", "--design", dir / "d.csv", "--seed", "1", "--table", dir / "t.csv"}, dir / "log");
    int status = 0;
    struct rusage usage {};
    ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
    EXPECT_EQ(WEXITSTATUS(status), 2);
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's shadow memory and quarantine alone exceed the bound
    const long limitKb = (64L << 10) + 2 * static_cast<long>(design.size() >> 10);
    EXPECT_LT(usage.ru_maxrss, limitKb);
#endif
    const std::string log = ReadAll(dir / "log");
    EXPECT_TRUE(Contains(log, "point " + std::to_string(faulty) + ", simulation 1 : ")) << log;
}

TEST(BatchTrust, RefusedThreadsSlowTheBatchButChangeNothing) {
    ScratchDir dir;
    const auto options = [&](const std::string &name) {
        return Options(
            {"--steps", "6", "--replicates", "3", "--jobs", "3", "--asc", dir / name, "--set", "DistInitMode=1"});
    };
    ASSERT_EQ(RunBatch(options("free"), 11, false, {}).ExitStatus, 0);
    const auto saved = ThreadCreationAllowed;
    static std::atomic<int> allowed;
    for (int limit : {0, 1}) {
        allowed = limit;  // the first `limit` threads are made, no more
        ThreadCreationAllowed = [] { return allowed-- > 0; };
        std::vector<std::string> reported;
        const BatchOutcome outcome = RunBatch(options("limited" + std::to_string(limit)), 11, false,
                                              [&](const std::string &line) { reported.push_back(line); });
        ThreadCreationAllowed = saved;
        EXPECT_EQ(outcome.ExitStatus, 0);
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_EQ(reported[0].rfind("glebix-batch : attention : le système a refusé", 0), 0u) << reported[0];
        for (const char *run : {"run-001", "run-002", "run-003"})
            EXPECT_EQ(ReadAll(dir / ("free/" + std::string(run) + "/density.asc")),
                      ReadAll(dir / ("limited" + std::to_string(limit) + "/" + run + "/density.asc")));
    }
}

// Under address-space limits that refuse most of 64 threads and many allocations
// (snapshots included), the program never aborts nor hangs: it goes on, and what fails
// says so in French.
TEST(BatchTrust, AnAddressSpaceLimitNeverAborts) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "not with the sanitizers: their shadow memory alone exceeds the limit";
#endif
    ScratchDir dir;
    // The lowest limit leaves room for the shared libraries (GDAL's among them) to load.
    for (const char *limit : {"250000000", "400000000"}) {
        const Outcome o = Shell("timeout 60 prlimit --as=" + std::string(limit) + " " + Program +
                                    " --jobs 64 --replicates 64 --steps 1 --seed 1 --quiet --out o --snapshots o",
                                dir);
        EXPECT_TRUE(o.status == 0 || o.status == 1) << limit << ": " << o.status << "\n" << o.output;
        EXPECT_FALSE(Contains(o.output, "terminate")) << o.output;
        std::size_t start = 0;
        for (std::size_t end; (end = o.output.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string line = o.output.substr(start, end - start);
            EXPECT_TRUE(line.rfind("glebix-batch : ", 0) == 0 || line.rfind("simulation ", 0) == 0) << line;
            if (line.rfind("simulation ", 0) == 0) { EXPECT_TRUE(Contains(line, ": Mémoire insuffisante")) << line; }
        }
    }
}

// ---- Small ones ---------------------------------------------------------------------

TEST(BatchTrust, TheLargestStepCountEnds) {
    std::vector<std::int32_t> steps;
    for (std::int32_t s : StepRange(2147483645, 2147483647)) steps.push_back(s);
    EXPECT_EQ(steps, (std::vector<std::int32_t>{2147483645, 2147483646, 2147483647}));
    int none = 0;
    for ([[maybe_unused]] std::int32_t s : StepRange(1, 0)) ++none;
    EXPECT_EQ(none, 0);
    // The batch's progress total does not wrap either.
    ScratchDir dir;
    const Outcome o = Shell(Program + " --validate --steps 2147483647 --replicates 3", dir);
    EXPECT_EQ(o.status, 0) << o.output;
}

TEST(BatchTrust, ProblemListsAndStandardOutput) {
    ScratchDir dir;
    std::string sets;
    for (int k = 0; k < 150; ++k) sets += " --set Nope" + std::to_string(k) + "=1";
    Outcome o = Shell(Program + sets, dir);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(std::count(o.output.begin(), o.output.end(), '\n'), 102);
    EXPECT_TRUE(Contains(o.output, "glebix-batch : … et 50 autres problèmes\n")) << o.output;

    o = Shell(Program + " --help >/dev/full", dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(Contains(o.output, "écriture impossible sur la sortie standard : Disque plein")) << o.output;
    EXPECT_EQ(Shell(Program + " --version >/dev/full", dir).status, 1);

    // A path with a line end stays on one line.
    dir.File("a\nb", "51 1 1\n");
    o = Shell(Program + " --steps 1 --seed 1 --set DistInitMode=0 --set \"DistFilePath=$(printf 'a\\nb')\" --quiet",
              dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.output,
              "glebix-batch : DistFilePath « a\\x0ab », ligne du fichier 1 : « 51 » : Case hors de la parcelle : "
              "ligne 51, colonne 1 de la parcelle (chacune va de 1 à 50)\n");
    o = Shell(Program + " --validate --out \"$(printf '/proc/a\\nb')\"", dir);
    EXPECT_EQ(o.output,
              "glebix-batch : --out «/proc/a\\x0ab» : impossible d'écrire dans «/proc» : Accès au fichier "
              "refusé\n");
}

// A path that names no file says why, once; a null byte is refused where it is written.
TEST(BatchTrust, APathThatNamesNoFileSaysWhy) {
    using namespace std::string_literals;
    ScratchDir dir;
    dir.File("design.csv", "DistInitMode,DistFilePath\n0,\"d.txt\0evil\"\n"s);
    dir.File("params.txt", "EnvFilePath=e.txt\0evil\n"s);
    const struct {
        std::string arguments;
        int status;
        std::string output;
    } cases[] = {
        {"--set DistInitMode=0 --out o5", 2, "glebix-batch : DistFilePath : le chemin du fichier à lire est vide\n"},
        {"--set DistInitMode=0 --out o5 --validate", 2,
         "glebix-batch : DistFilePath : le chemin du fichier à lire est vide\n"},
        {"--set EnvInitMode=0 --set EnvFilePath=no/such/e.txt", 1,
         "glebix-batch : EnvFilePath « no/such/e.txt » : Dossier inexistant « no »\n"},
        {"--design design.csv", 2,
         "glebix-batch : design.csv:2: colonne DistFilePath : «d.txt\\x00evil» contient un octet nul, qu'aucune "
         "valeur ni aucun chemin ne peut contenir\n"},
        {"--params params.txt", 2,
         "glebix-batch : params.txt:1: paramètre EnvFilePath : «e.txt\\x00evil» contient un octet nul, qu'aucune "
         "valeur ni aucun chemin ne peut contenir\n"},
        {"--step=3", 2, "glebix-batch : option inconnue : --step ; voulez-vous dire --steps ?\n"},
        {"--set Survivl=0.3", 2,
         "glebix-batch : --set : paramètre inconnu : «Survivl» ; voulez-vous dire Survival ?\n"},
    };
    for (const auto &c : cases) {
        const Outcome o = Shell(Program + " --steps 2 --seed 1 --quiet " + c.arguments, dir);
        EXPECT_EQ(o.status, c.status) << c.arguments;
        EXPECT_EQ(o.output.substr(0, o.output.find("glebix-batch : pour l'aide")), c.output) << c.arguments;
    }
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"design.csv", "params.txt", "shell-output.txt"}));
}
