// Every message a user can meet when a file is read or written, by cause, for each
// reader (initial environment, initial distribution, species parameters) and for the
// result file; a failed set-up leaves the previous run's species values in place.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "ReliabilitySupport.h"
#include "Simul.h"
#include "SpeciesFile.h"

namespace glebix {
namespace {

using reliability::MessageOf;
using reliability::ScratchDir;
using reliability::SmallTmpfs;
using reliability::StartsWith;

enum class Reader { Environment, Distribution, Species };

const char *ReaderName(Reader r) {
    switch (r) {
    case Reader::Environment:
        return "environment file";
    case Reader::Distribution:
        return "distribution file";
    default:
        return "species file";
    }
}

// Reads `path` with `reader` the way the program does and returns the message.
std::string ReadWith(Reader reader, const std::string &path) {
    if (reader == Reader::Species) return MessageOf([&] { ReadSpeciesFile(path); });
    Simul s;
    if (reader == Reader::Environment) {
        s.Settings.Initial.EnvInitMode = 0;
        s.Settings.Initial.EnvFilePath = path;
    } else {
        s.Settings.Initial.DistInitMode = 0;
        s.Settings.Initial.DistFilePath = path;
    }
    return MessageOf([&] { s.SetUpRun(1u); });
}

struct PathCause {
    const char *cause;
    std::function<std::string(const ScratchDir &)> path;  // the path given to the reader
    const char *message;
};

const std::vector<PathCause> &PathCauses() {
    static const std::vector<PathCause> causes = {
        {"missing file", [](const ScratchDir &d) { return d.Sub("absent.txt"); }, "Fichier introuvable"},
        {"missing directory", [](const ScratchDir &d) { return d.Sub("absent/file.txt"); }, "Nom de fichier incorrect"},
        {"path through a regular file",
         [](const ScratchDir &d) { return d.File("plain.txt", "1 1 1\n") + "/file.txt"; }, "Nom de fichier incorrect"},
        {"empty path", [](const ScratchDir &) { return std::string(); }, "Nom de fichier incorrect"},
        {"name too long", [](const ScratchDir &d) { return d.Sub(std::string(300, 'n')); }, "Nom de fichier incorrect"},
        {"directory given as a file", [](const ScratchDir &d) { return d.Path(); }, "Accès au fichier refusé"},
        {"link loop",
         [](const ScratchDir &d) {
             ::symlink(d.Sub("loop").c_str(), d.Sub("loop").c_str());
             return d.Sub("loop");
         },
         "Nom de fichier incorrect"},
    };
    return causes;
}

TEST(ReaderErrors, MessageByCauseOfThePath) {
    for (Reader reader : {Reader::Environment, Reader::Distribution, Reader::Species})
        for (const PathCause &c : PathCauses()) {
            SCOPED_TRACE(std::string(ReaderName(reader)) + ": " + c.cause);
            ScratchDir dir;
            EXPECT_EQ(ReadWith(reader, c.path(dir)), c.message);
        }
}

TEST(ReaderErrors, UnreadableFileWhenNotRoot) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads any file; the directory and read-only cases cover access";
    for (Reader reader : {Reader::Environment, Reader::Distribution, Reader::Species}) {
        SCOPED_TRACE(ReaderName(reader));
        ScratchDir dir;
        const std::string path = dir.File("locked.txt", "1 1 1\n");
        ::chmod(path.c_str(), 0);
        EXPECT_EQ(ReadWith(reader, path), "Accès au fichier refusé");
    }
}

// The soft limit on open files is lowered to the next free descriptor for the
// duration of the test, so the next open fails with too many open files.
class OpenFileLimit {
public:
    OpenFileLimit() {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        const int probe = ::open("/dev/null", O_RDONLY);
        ::close(probe);
        rlimit lowered = saved_;
        lowered.rlim_cur = static_cast<rlim_t>(probe);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~OpenFileLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    rlimit saved_{};
};

TEST(ReaderErrors, TooManyOpenFiles) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers' own checks need descriptors (a pipe) while the error is raised.
    GTEST_SKIP() << "not with the sanitizers: they cannot work without a free descriptor";
#endif
    ScratchDir dir;
    const std::string path = dir.File("ok.txt", "1 1 1\n");
    Simul writer;
    writer.Settings.Run.ResultDirectory = dir.Path();
    for (Reader reader : {Reader::Environment, Reader::Distribution, Reader::Species}) {
        SCOPED_TRACE(ReaderName(reader));
        OpenFileLimit limit;
        EXPECT_EQ(ReadWith(reader, path), "Trop de fichiers ouverts");
    }
    OpenFileLimit limit;
    EXPECT_EQ(MessageOf([&] { writer.WriteResultFile(); }), "Trop de fichiers ouverts");
}

struct ContentCause {
    const char *cause;
    const char *contents;
    const char *message;  // a prefix for the cell-outside-the-plot refusal
};

TEST(ReaderErrors, MessageByCauseOfTheContents) {
    const std::string longToken(401, '1');
    const std::vector<ContentCause> causes = {
        {"decimal comma", "1 1 33,5\n", "Saisie numérique incorrecte"},
        {"letters", "1 1 abc\n", "Saisie numérique incorrecte"},
        {"point in a row", "5.0 1 20\n", "Saisie numérique incorrecte"},
        {"second sign", "1 --1 20\n", "Saisie numérique incorrecte"},
        {"row beyond 32 bits", "4294967297 1 20\n", "Saisie numérique incorrecte"},
        {"incomplete triple, row only", "1 1 20\n2\n", "Saisie numérique incorrecte"},
        {"incomplete triple, row and column", "1 1 20\n2 2 \r\n", "Saisie numérique incorrecte"},
        {"incomplete before the end mark", "1 1 20\n2 2\x1a 20\n", "Saisie numérique incorrecte"},
        {"row above 50", "51 1 20\n", "Case hors de la parcelle"},
        {"row 0", "0 1 20\n", "Case hors de la parcelle"},
        {"negative column", "1 -3 20\n", "Case hors de la parcelle"},
    };
    for (Reader reader : {Reader::Environment, Reader::Distribution})
        for (const ContentCause &c : causes) {
            SCOPED_TRACE(std::string(ReaderName(reader)) + ": " + c.cause);
            ScratchDir dir;
            const std::string m = ReadWith(reader, dir.File("in.txt", c.contents));
            EXPECT_TRUE(StartsWith(m, c.message)) << m;
        }
    // A token longer than any number is refused, in any position of the triple.
    for (Reader reader : {Reader::Environment, Reader::Distribution})
        for (const std::string &contents :
             {longToken + " 1 5\n", "1 " + longToken + " 5\n", "1 1 " + longToken + "\n"}) {
            SCOPED_TRACE(ReaderName(reader));
            ScratchDir dir;
            EXPECT_EQ(ReadWith(reader, dir.File("in.txt", contents)), "Saisie numérique incorrecte");
        }
    // Only the environment file holds reals.
    ScratchDir dir;
    EXPECT_EQ(ReadWith(Reader::Environment, dir.File("e.txt", "1 1 1e400\n")), MsgOverflow.French());
    EXPECT_EQ(ReadWith(Reader::Environment, dir.File("f.txt", "1 1 +.5E-1\n")), "");
    EXPECT_EQ(ReadWith(Reader::Distribution, dir.File("g.txt", "1 1 7.5\n")), "Saisie numérique incorrecte");
    EXPECT_EQ(ReadWith(Reader::Distribution, dir.File("h.txt", "1 1 2147483648\n")), "Saisie numérique incorrecte");
    EXPECT_EQ(ReadWith(Reader::Distribution, dir.File("i.txt", "1 1 -2147483648\n")), "");
}

TEST(ReaderErrors, SpeciesFileContents) {
    const std::vector<ContentCause> causes = {
        {"real as the shape", "0.4 2 2.0 0 0 0.301 0 1 0 0.5\n", "Saisie numérique incorrecte"},
        {"decimal comma", "0,4 2 2 0 0 0.301 0 1 0 0.5\n", "Saisie numérique incorrecte"},
        {"real as the sensitivity", "0.4 2 2 0 0 0.301 0 1 0.5 0.5\n", "Saisie numérique incorrecte"},
        {"overflow", "1e999 2 2 0 0 0.301 0 1 0 0.5\n", MsgOverflow.French()},
        {"unknown shape", "0.4 2 3 0 0 0.301 0 1 0 0.5\n", "Forme de la réponse au milieu inconnue"},
        {"short file", "0.4 2\n", ""},
        {"empty file", "", ""},
    };
    for (const ContentCause &c : causes) {
        SCOPED_TRACE(c.cause);
        ScratchDir dir;
        const std::string m = ReadWith(Reader::Species, dir.File("species.txt", c.contents));
        if (c.message[0] == '\0')
            EXPECT_EQ(m, "");
        else
            EXPECT_TRUE(StartsWith(m, c.message)) << m;
    }
}

TEST(ReaderErrors, FailedSetUpKeepsThePreviousSpeciesValues) {
    ScratchDir dir;
    Simul s;
    s.SetUpRun(3u);
    s.Settings.Species.Survival = "0.9";
    s.Settings.Species.DispersalSigma = "2";
    s.Settings.Initial.DistInitMode = 0;
    s.Settings.Initial.DistFilePath = dir.File("bad.txt", "1 1 5\n2 2 x\n");
    EXPECT_EQ(MessageOf([&] { s.SetUpRun(3u); }), "Saisie numérique incorrecte");
    EXPECT_EQ(s.Species.Survival, 0.4);
    EXPECT_EQ(s.Species.DispersalSigma, 0.5);
    EXPECT_EQ(s.Plot.Density[0][0], 5);  // set before the error, kept
}

// Result file: the directory field decides the path "<directory>/RireVed1a1p1.txt".
std::string WriteIn(const std::string &directory) {
    Simul s;
    s.Settings.Run.ResultDirectory = directory;
    return MessageOf([&] { s.WriteResultFile(); });
}

TEST(ResultFileErrors, MessageByCauseOfTheDirectory) {
    ScratchDir dir;
    EXPECT_EQ(WriteIn(dir.Sub("absent")), "Nom de fichier incorrect");
    EXPECT_EQ(WriteIn(dir.File("plain.txt", "x")), "Nom de fichier incorrect");  // a file double-clicked in the list
    EXPECT_EQ(WriteIn(dir.Sub(std::string(300, 'd'))), "Nom de fichier incorrect");
    std::filesystem::create_directory(dir.Sub("taken"));
    std::filesystem::create_directory(dir.Sub("taken/" + ResultFileName()));
    EXPECT_EQ(WriteIn(dir.Sub("taken")), "Accès au fichier refusé");
    EXPECT_EQ(std::filesystem::is_directory(dir.Sub("taken/" + ResultFileName())), true);
    std::set<std::string> leftovers;
    for (const auto &e : std::filesystem::directory_iterator(dir.Sub("taken"))) leftovers.insert(e.path().filename());
    EXPECT_EQ(leftovers, std::set<std::string>{ResultFileName()});  // no temporary file left
}

TEST(ResultFileErrors, ReadOnlyFileSystem) {
    SmallTmpfs fs("size=64k,ro");
    if (!fs.Mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    EXPECT_EQ(WriteIn(fs.Dir().Path()), "Accès au fichier refusé");
}

TEST(ResultFileErrors, FullDiskOnASmallTmpfs) {
    SmallTmpfs fs("size=8k");
    if (!fs.Mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here; the injected failures cover it";
    EXPECT_EQ(WriteIn(fs.Dir().Path()), "Disque plein");
    EXPECT_TRUE(fs.Dir().Entries().empty());
}

TEST(ResultFileErrors, InjectedWriteFailures) {
    struct Injected {
        const char *cause;
        ResultWriteFunction write;
        const char *message;
    };
    const std::vector<Injected> cases = {
        {"disk full",
         [](int, const void *, std::size_t) -> long {
             errno = ENOSPC;
             return -1;
         },
         "Disque plein"},
        {"quota",
         [](int, const void *, std::size_t) -> long {
             errno = EDQUOT;
             return -1;
         },
         "Disque plein"},
        {"no progress", [](int, const void *, std::size_t) -> long { return 0; }, "Disque plein"},
        {"device error",
         [](int, const void *, std::size_t) -> long {
             errno = EIO;
             return -1;
         },
         "Erreur E/S 5"},
    };
    for (const Injected &c : cases) {
        SCOPED_TRACE(c.cause);
        ScratchDir dir;
        reliability::ResultWriteGuard guard(c.write);
        EXPECT_EQ(WriteIn(dir.Path()), c.message);
        EXPECT_TRUE(dir.Entries().empty());
    }
}

}  // namespace
}  // namespace glebix
