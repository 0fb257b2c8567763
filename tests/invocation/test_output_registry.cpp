// The outputs registry walked row by row: every kind of output asked for by an option
// lands in its member, has its place checked, counts as keeping the runs or not, is
// put in place from a temporary name, and is recorded by the manifest under its key.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

#include "BatchMain.h"
#include "BatchOptions.h"
#include "OutputPlaces.h"
#include "OutputRegistry.h"
#include "OutputsAsked.h"
#include "TestFiles.h"
#include "BatchWarnings.h"

using namespace glebix::batch;
using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;
namespace fs = std::filesystem;

namespace {

// The options some kinds need beside their own.
std::vector<std::string> Companions(const OutputKind &kind) {
    static const std::map<std::string, std::vector<std::string>> companions = {
        {"--checkpoint", {"--checkpoint-every", "1"}}};
    const auto at = companions.find(kind.option);
    return at == companions.end() ? std::vector<std::string>{} : at->second;
}

// A path for the kind's output in `dir`.
std::string PlaceIn(const OutputKind &kind, const std::string &dir) {
    std::string name = std::string(kind.option).substr(2);
    return dir + "/" + name + (kind.place == OutputPlace::File ? ".out" : "");
}

ParsedCommandLine Parse(const OutputKind &kind, const std::string &path, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--seed", "1", "--steps", "2", "--quiet", kind.option, path};
    for (const std::vector<std::string> &extra : {Companions(kind), more})
        args.insert(args.end(), extra.begin(), extra.end());
    return ParseCommandLine(args);
}

std::vector<const OutputKind *> AskedKinds() {
    std::vector<const OutputKind *> kinds;
    for (const OutputKind &kind : OutputKinds())
        if (kind.option) kinds.push_back(&kind);
    return kinds;
}

bool HasPartFile(const std::string &dir) {
    for (const auto &e : fs::recursive_directory_iterator(dir))
        if (e.path().extension() == ".part") return true;
    return false;
}

}  // namespace

TEST(OutputRegistry, EachOptionParsesIntoItsPlaceAndHasItsUsageLine) {
    const std::vector<OptionHelp> helps = OptionHelps(Language::French);
    for (const OutputKind *kind : AskedKinds()) {
        const ParsedCommandLine parsed = Parse(*kind, "x/" + std::string(kind->option + 2));
        ASSERT_TRUE(parsed.Problems.empty()) << kind->option << ": " << parsed.Problems.front();
        EXPECT_EQ(AskedPath(parsed.Options, *kind), "x/" + std::string(kind->option + 2)) << kind->option;
        EXPECT_EQ(parsed.Options.Outputs.size(), 1u) << kind->option;
        EXPECT_FALSE(ParseCommandLine({kind->option, ""}).Problems.empty()) << kind->option;
        const auto help =
            std::find_if(helps.begin(), helps.end(), [&](const OptionHelp &h) { return h.Name == kind->option; });
        ASSERT_NE(help, helps.end()) << kind->option;
        EXPECT_EQ(help->ValueName, kind->valueName);
        EXPECT_FALSE(help->Help.empty()) << kind->option;
    }
}

// A place below a plain file cannot be made: the problem names the option.
TEST(OutputRegistry, EachUnwritablePlaceIsRefusedByItsOption) {
    ScratchDir dir;
    const std::string file = dir.File("file", "");
    for (const OutputKind *kind : AskedKinds()) {
        const ParsedCommandLine parsed = Parse(*kind, PlaceIn(*kind, file + "/sub"));
        ASSERT_TRUE(parsed.Problems.empty()) << parsed.Problems.front();
        const std::vector<std::string> problems = CheckOutputPlaces(parsed.Options);
        ASSERT_FALSE(problems.empty()) << kind->option;
        EXPECT_NE(problems.front().find(kind->option), std::string::npos) << problems.front();
    }
    EXPECT_TRUE(dir.Entries() == std::set<std::string>{"file"});
}

// Two outputs on one file are refused, but for two states: the end state may replace
// the checkpoint.
TEST(OutputRegistry, TwoFileOutputsOnOneFileClash) {
    ScratchDir dir;
    for (const OutputKind *a : AskedKinds())
        for (const OutputKind *b : AskedKinds()) {
            if (a >= b || a->place != OutputPlace::File || b->place != OutputPlace::File) continue;
            const std::string same = dir / "same.out";
            std::vector<std::string> more = Companions(*b);
            more.insert(more.end(), {b->option, same});
            const ParsedCommandLine parsed = Parse(*a, same, more);
            ASSERT_TRUE(parsed.Problems.empty()) << parsed.Problems.front();
            const std::vector<std::string> problems = CheckOutputPlaces(parsed.Options);
            EXPECT_EQ(problems.empty(), a->stateFile && b->stateFile) << a->option << " " << b->option;
        }
}

TEST(OutputRegistry, EachKindKeepsTheRunsOfAStudyByItsRow) {
    for (const OutputKind *kind : AskedKinds()) {
        const ParsedCommandLine parsed = Parse(*kind, PlaceIn(*kind, "x"), {"--replicates", "2"});
        ASSERT_TRUE(parsed.Problems.empty()) << parsed.Problems.front();
        const std::vector<std::string> all = CollectWarnings(parsed.Options).All();
        const bool warned = std::find(all.begin(), all.end(), NothingKeptWarning()) != all.end();
        EXPECT_EQ(warned, !kind->keepsRuns) << kind->option;
        EXPECT_EQ(NothingKeptWarning().find(kind->option) != std::string::npos, kind->keepsRuns) << kind->option;
    }
}

// A tiny run with each output (and --out, for a manifest): the output is in place, no
// temporary file is left, and the manifest lists it under its key.
TEST(OutputRegistry, EachOutputIsPutInPlaceAndRecordedByTheManifest) {
    for (const OutputKind *kind : AskedKinds()) {
        ScratchDir dir;
        const std::string path = PlaceIn(*kind, dir.Path() + "/outputs");
        std::vector<std::string> args = {"--seed", "1", "--steps", "10", "--every", "5", "--quiet", kind->option, path};
        for (const std::string &a : Companions(*kind)) args.push_back(a);
        const bool resultFolder = kind->option == std::string_view("--out");
        if (!resultFolder) args.insert(args.end(), {"--out", dir / "o"});
        ASSERT_EQ(BatchMain(args), 0) << kind->option;
        EXPECT_FALSE(HasPartFile(dir.Path())) << kind->option;
        if (kind->place == OutputPlace::File)
            EXPECT_TRUE(fs::is_regular_file(path)) << kind->option;
        else
            EXPECT_FALSE(fs::is_empty(path)) << kind->option;
        if (!kind->manifestKey) continue;
        const std::string manifest = ReadAll((resultFolder ? path : dir / "o") + "/manifest.json");
        const std::string recorded = kind->record == ManifestRecord::HeldFile ? kind->filesInside(path).front() : path;
        EXPECT_NE(manifest.find("\"" + std::string(kind->manifestKey) + "\": \"" + recorded + "\""), std::string::npos)
            << kind->option << "\n"
            << manifest;
    }
}

// The file a folder output is planned to hold is the very one its writer stages, however
// the folder is spelt: the earlier run's files are removed by that name.
TEST(OutputRegistry, AFolderGivenWithATrailingSlashKeepsItsFiles) {
    for (const OutputKind *kind : AskedKinds()) {
        if (kind->place != OutputPlace::Folder || !kind->filesInside) continue;
        ScratchDir dir;
        const std::string folder = dir / "f/";
        ASSERT_EQ(BatchMain({"--seed", "1", "--steps", "2", "--quiet", kind->option, folder}), 0) << kind->option;
        EXPECT_TRUE(fs::is_regular_file(kind->filesInside(folder).front())) << kind->option;
    }
}

// The rule the bindings' writers follow: every kind of output, at the file a run reads
// (by band or not) or at the folder holding it by name, is refused naming both; another
// place is not, nor the file before the ':' once a file has the whole path as its name.
TEST(OutputRegistry, EachKindIsRefusedOnTheFileTheRunReads) {
    ScratchDir dir;
    for (const OutputKind &kind : OutputKinds()) {
        if (!kind.option || kind.scope != OutputScope::Run) continue;
        SCOPED_TRACE(kind.option);
        const bool file = kind.place == OutputPlace::File;
        if (!file && !kind.filesInside) continue;  // the maps: no name an input could have
        const std::string input = file ? dir / "in.dat" : kind.filesInside(dir.Path()).front();
        glebix::testing::WriteAll(input, "ncols 1\n");
        glebix::TSettings settings;
        settings.Initial.EnvInitMode = 0;
        settings.Initial.EnvFilePath = input + ":1";
        const std::optional<std::string> clash = InputClash(settings, kind, file ? input : dir.Path());
        ASSERT_TRUE(clash.has_value());
        EXPECT_NE(clash->find("EnvFilePath «" + input + ":1»"), std::string::npos) << *clash;
        EXPECT_EQ(InputClash(settings, kind, PlaceIn(kind, dir / "elsewhere")), std::nullopt);
        glebix::testing::WriteAll(input + ":1", "ncols 1\n");  // now the whole path is the file read
        EXPECT_EQ(InputClash(settings, kind, file ? input : dir.Path()), std::nullopt);
        fs::remove(input + ":1");
    }
}
