// Input files read whole from memory: pipes and devices, the size limit, the bytes a
// caller already read, and the free readers of the initial files.
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "Errors.h"
#include "InitialFiles.h"
#include "InputFile.h"
#include "Simul.h"
#include "SpeciesFile.h"
#include "TestSupport.h"

namespace glebix {
namespace {

using testing::ScratchDir;

std::string ReadError(const std::string &path) {
    try {
        ReadInputFile(path);
    } catch (const GlebixError &e) { return e.what(); }
    return "";
}

// A pipe whose write end a thread fills with `bytes` and closes; the read end's path.
class FilledPipe {
public:
    explicit FilledPipe(std::string bytes) {
        if (::pipe(fds_) != 0) throw std::runtime_error("pipe");
        writer_ = std::thread([this, bytes = std::move(bytes)] {
            for (std::size_t done = 0; done < bytes.size();) {
                const ssize_t n = ::write(fds_[1], bytes.data() + done, bytes.size() - done);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
            ::close(fds_[1]);
        });
    }
    ~FilledPipe() {
        writer_.join();
        ::close(fds_[0]);
    }
    std::string Path() const { return "/dev/fd/" + std::to_string(fds_[0]); }

private:
    int fds_[2];
    std::thread writer_;
};

TEST(InputFile, PipesAreReadWhole) {
    const std::string big(200000, 'x');  // more than one pipe buffer
    FilledPipe pipe("25 25 10\n" + big);
    EXPECT_EQ(ReadInputFile(pipe.Path()), "25 25 10\n" + big);
}

TEST(InputFile, EndlessAndHugeFilesAreRefusedByTheLimit) {
    const std::string tooLarge = " trop grand : plus de 400 Mio (419442688 octets)";
    EXPECT_EQ(ReadError("/dev/zero"), "Fichier « /dev/zero »" + tooLarge);
    EXPECT_EQ(ReadError("/dev/urandom"), "Fichier « /dev/urandom »" + tooLarge);
    // A sparse file is refused by its size, before anything is read.
    ScratchDir dir;
    const std::string sparse = dir.File("sparse.txt", "");
    ASSERT_EQ(::truncate(sparse.c_str(), off_t{1} << 30), 0);
    EXPECT_EQ(ReadError(sparse), "Fichier « " + sparse + " »" + tooLarge);
    ASSERT_EQ(::truncate(sparse.c_str(), static_cast<off_t>(MaxInputFileBytes + 1)), 0);
    EXPECT_EQ(ReadError(sparse), "Fichier « " + sparse + " »" + tooLarge);
    ASSERT_EQ(::truncate(sparse.c_str(), static_cast<off_t>(MaxInputFileBytes)), 0);
    EXPECT_EQ(ReadError(sparse), "");
}

TEST(InputFile, TheLimitHoldsForEveryReader) {
    ScratchDir dir;
    const std::string sparse = dir.File("sparse.txt", "");
    ASSERT_EQ(::truncate(sparse.c_str(), off_t{1} << 30), 0);
    const std::string message = "Fichier « " + sparse + " » trop grand : plus de 400 Mio (419442688 octets)";
    for (int mode : {0, 1}) {
        Simul s;
        (mode == 0 ? s.Settings.Initial.EnvInitMode : s.Settings.Initial.DistInitMode) = 0;
        (mode == 0 ? s.Settings.Initial.EnvFilePath : s.Settings.Initial.DistFilePath) = sparse;
        try {
            s.SetUpRun(1);
            ADD_FAILURE() << "set-up read a 1 GiB file";
        } catch (const GlebixError &e) { EXPECT_EQ(e.what(), message); }
    }
    try {
        ReadSpeciesFile(sparse);
        ADD_FAILURE() << "the species reader read a 1 GiB file";
    } catch (const GlebixError &e) { EXPECT_EQ(e.what(), message); }
}

// The bytes read once are the bytes every later use sees, and a failed read stays one.
TEST(InputFile, ReadOnceThenGivenToSetUp) {
    ScratchDir dir;
    const std::string path = dir.File("dist.txt", "2 3 7\n");
    auto store = std::make_shared<InputBytes>();
    EXPECT_EQ(*ReadInputOnce(*store, path).Bytes, "2 3 7\n");
    dir.File("dist.txt", "2 3 8\n");  // changed after the read
    EXPECT_EQ(*ReadInputOnce(*store, path).Bytes, "2 3 7\n");
    EXPECT_EQ(ReadInputOnce(*store, dir.Sub("missing.txt")).Error.French(), "Fichier introuvable");
    dir.File("missing.txt", "1 1 1\n");  // appears too late

    Simul s;
    s.GivenInputs = store;
    s.Settings.Initial.DistInitMode = DistModeFile;
    s.Settings.Initial.DistFilePath = path;
    s.SetUpRun(1);
    EXPECT_EQ(s.Plot.Density[1][2], 7);
    s.Settings.Initial.DistFilePath = dir.Sub("missing.txt");
    try {
        s.SetUpRun(1);
        ADD_FAILURE() << "set-up read the file anew";
    } catch (const GlebixError &e) { EXPECT_STREQ(e.what(), "Fichier introuvable"); }
    // A path the store does not hold is read from the file.
    s.Settings.Initial.DistFilePath = dir.File("other.txt", "1 1 4\n");
    s.SetUpRun(1);
    EXPECT_EQ(s.Plot.Density[0][0], 4);
}

// The free readers change only the cells a file names, and stop at a code 26.
TEST(InitialFiles, ReadersFillOnlyTheNamedCells) {
    auto plot = std::make_unique<TPlot>();
    plot->Env[0][0] = {1, 2};
    plot->Density[4][4] = 3;
    ReadEnvironmentText("1 2 30.5\n1 2 40 \x1a 3 3 10", "e.txt", *plot);
    EXPECT_EQ(plot->Env[0][1].Compacted, 40);
    EXPECT_EQ(plot->Env[0][1].Decompacted, 60);
    EXPECT_EQ(plot->Env[0][0].Compacted, 1);
    EXPECT_EQ(plot->Env[2][2].Compacted, 0);
    ReadDistributionText("50 50 12", "d.txt", *plot);
    EXPECT_EQ(plot->Density[49][49], 12);
    EXPECT_EQ(plot->Density[4][4], 3);
    try {
        ReadDistributionText("51 1 2", "d.txt", *plot);
        ADD_FAILURE();
    } catch (const GlebixError &e) {
        EXPECT_EQ(MessageWithContext(e),
                  "« d.txt », ligne du fichier 1 : « 51 » : Case hors de la parcelle : ligne 51, colonne 1 de la "
                  "parcelle (chacune va de 1 à 50)");
    }
}

// What a caller shows for any exception: French, whatever its kind.
TEST(Errors, EveryExceptionGivesAFrenchMessage) {
    EXPECT_EQ(ExceptionMessage(GlebixError("Fichier introuvable")), "Fichier introuvable");
    EXPECT_EQ(ExceptionMessage(std::bad_alloc()), "Mémoire insuffisante");
    EXPECT_EQ(ExceptionMessage(std::system_error(ENOSPC, std::generic_category())), "Disque plein");
    EXPECT_EQ(ExceptionMessage(std::system_error(EAGAIN, std::generic_category())), "Erreur E/S 11");
}

}  // namespace
}  // namespace glebix
