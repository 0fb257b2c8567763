// Whole files written atomically (the windows' exports and manifests, the result
// file): a failure keeps the earlier file, leaves no temporary file and names the file.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <unistd.h>

#include "AtomicFile.h"
#include "Errors.h"
#include "TestFiles.h"

using namespace glebix;
using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;

namespace {
// Writes half of what it is given once, then fails with a full disk.
long HalfThenFull(int fd, const void *data, std::size_t size) {
    static bool wrote = false;
    wrote = !wrote;
    if (!wrote) {
        errno = ENOSPC;
        return -1;
    }
    return static_cast<long>(::write(fd, data, size / 2));
}
}  // namespace

TEST(AtomicFile, WritesAndReplaces) {
    ScratchDir dir;
    WriteFileAtomically(dir / "a.csv", "un\n");
    WriteFileAtomically(dir / "a.csv", "deux\n");
    EXPECT_EQ(ReadAll(dir / "a.csv"), "deux\n");
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"a.csv"}));
}

TEST(AtomicFile, FailureKeepsTheEarlierFileAndNamesIt) {
    ScratchDir dir;
    WriteFileAtomically(dir / "a.csv", "avant\n");
    try {
        WriteFileAtomically(dir / "a.csv", std::string(4096, 'x'), HalfThenFull);
        FAIL() << "no error";
    } catch (const GlebixError &e) {
        EXPECT_STREQ(e.what(), "Disque plein");
        EXPECT_EQ(e.Context().Path, dir / "a.csv");
    }
    EXPECT_EQ(ReadAll(dir / "a.csv"), "avant\n");
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"a.csv"}));

    try {
        WriteFileAtomically(dir / "absent/b.csv", "x");
        FAIL() << "no error";
    } catch (const GlebixError &e) {
        EXPECT_STREQ(e.what(), "Nom de fichier incorrect");
        EXPECT_EQ(e.Context().Path, dir / "absent/b.csv");
    }
}

// A file of several megabytes reaches the disk while it is made: its pieces come out
// whole and in order, however they fall about the hand-overs.
TEST(AtomicFile, LargeFileInPiecesComesOutWhole) {
    ScratchDir dir;
    std::string expected;
    WriteFileAtomically(dir / "grand.txt", [&expected](const PieceSink &sink) {
        for (std::size_t k = 0; expected.size() < 3 * WriteBehind::StepBytes; ++k) {
            const std::string piece(1 + k * 7919 % 1000003, static_cast<char>('a' + k % 26));
            expected += piece;
            sink(piece);
        }
    });
    EXPECT_EQ(ReadAll(dir / "grand.txt"), expected);
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"grand.txt"}));
}
