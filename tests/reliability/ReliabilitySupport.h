// Helpers of the reliability tests: the program's messages, and a guard that swaps
// the result file's write call.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <unistd.h>

#include "Errors.h"
#include "ResultFile.h"
#include "TestFiles.h"

namespace glebix::reliability {

using testing::ReadAll;
using testing::ScratchDir;

using testing::SmallTmpfs;

// Replaces the result file's write call for the lifetime of the guard.
class ResultWriteGuard {
public:
    explicit ResultWriteGuard(ResultWriteFunction replacement) : saved_(ResultWrite) { ResultWrite = replacement; }
    ~ResultWriteGuard() { ResultWrite = saved_; }
    ResultWriteGuard(const ResultWriteGuard &) = delete;
    ResultWriteGuard &operator=(const ResultWriteGuard &) = delete;

private:
    ResultWriteFunction saved_;
};

// The message an operation ends with; empty when it completes.
template <typename Operation>
std::string MessageOf(Operation &&operation) {
    try {
        operation();
    } catch (const GlebixError &e) { return e.what(); }
    return "";
}

inline bool StartsWith(const std::string &text, const std::string &prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The floating-point faults a time step may end with.
inline bool IsFloatMessage(const std::string &m) {
    return m == MsgInvalidOperation.French() || m == MsgDivisionByZero.French() || m == MsgOverflow.French();
}

// Every message a run set-up may end with: the input/output messages by cause, the
// floating-point faults, and the refusals of a cell outside the plot or of a
// response curve that cannot be computed.
inline bool IsSetUpMessage(const std::string &m) {
    static const std::set<std::string> exact = {
        "Fichier introuvable", "Nom de fichier incorrect", "Trop de fichiers ouverts", "Accès au fichier refusé",
        "Disque plein",        MsgBadNumber.French(),
    };
    return exact.count(m) || IsFloatMessage(m) || StartsWith(m, "Erreur E/S ") ||
           StartsWith(m, "Case hors de la parcelle") || StartsWith(m, "Forme de la réponse au milieu") ||
           StartsWith(m, "Réponse au milieu") || StartsWith(m, "taux de compaction hors d'échelle");
}

}  // namespace glebix::reliability
