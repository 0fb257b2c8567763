// A streamed output never shows half a file under its name and keeps the earlier one
// when it is not finished.
#include <filesystem>
#include <gtest/gtest.h>

#include "Errors.h"
#include "FileIo.h"
#include "StreamedFile.h"
#include "TestFiles.h"

using namespace glebix;
using namespace glebix::core;
using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;
using glebix::testing::WriteAll;
namespace fs = std::filesystem;

TEST(StreamedFile, ReplacesTheEarlierFileOnlyWhenFinished) {
    ScratchDir dir;
    const std::string path = dir / "table.csv";
    WriteAll(path, "earlier\n");
    {
        StreamedFile file;
        file.Open(path);
        file.Write("a,b\n");
        EXPECT_EQ(ReadAll(path), "earlier\n");
        EXPECT_EQ(ReadAll(path + ".part"), "a,b\n");  // can be followed meanwhile
    }                                                 // not finished: abandoned
    EXPECT_EQ(ReadAll(path), "earlier\n");
    EXPECT_FALSE(fs::exists(path + ".part"));

    StreamedFile file;
    file.Open(path);
    file.Write("a,b\n");
    file.Write("1,2\n");
    file.Finish();
    EXPECT_EQ(ReadAll(path), "a,b\n1,2\n");
    EXPECT_FALSE(fs::exists(path + ".part"));

    try {
        file.Open(dir / "missing/table.csv");
        FAIL() << "opened in a missing folder";
    } catch (const GlebixError &e) {
        EXPECT_EQ(std::string(e.what()), "Nom de fichier incorrect : " + (dir / "missing/table.csv"));
    }
}

// A long file is handed to the disk as it is written; cut back behind what was handed
// over and written on, it holds exactly what was kept and what came after.
TEST(LineWriter, CutBackBehindBytesOnTheirWayToTheDisk) {
    ScratchDir dir;
    const std::string path = dir / "long.txt";
    const std::string first(WriteBehind::StepBytes + 12345, 'a'), second(WriteBehind::StepBytes, 'b');
    LineWriter writer;
    writer.Open(path);
    writer.Write(first);
    writer.Write(second);
    writer.CutBack(first.size() - 5);
    writer.Write("fin\n");
    writer.Write(second);
    writer.Close();
    EXPECT_EQ(ReadAll(path + ".part"), first.substr(0, first.size() - 5) + "fin\n" + second);
}
