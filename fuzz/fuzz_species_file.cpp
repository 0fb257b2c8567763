// Fuzzes the species parameter file reader. A file either loads or ends with one of
// the program's messages; what it loads must be texts the species dialog can hold
// and that run set-up converts wholly, and a refused file changes nothing.
#include <cmath>
#include <string>

#include "Conversions.h"
#include "Errors.h"
#include "FuzzFiles.h"
#include "Simul.h"
#include "SpeciesFile.h"

using namespace glebix;
using namespace glebix::fuzz;

namespace {

bool KnownMessage(const std::string &m) {
    return m == MsgBadNumber.French() || m == MsgOverflow.French() ||
           StartsWith(m, "Forme de la réponse au milieu inconnue");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string &path = WriteInputFile(data, size);
    SpeciesFileContents contents;
    try {
        contents = ReadSpeciesFile(path);
    } catch (const GlebixError &e) {
        Require(KnownMessage(e.what()), "a species file ends with an unknown message");
        return 0;
    }
    Require(contents.Species.ResponseShape >= 0 && contents.Species.ResponseShape <= 2,
            "a shape outside 0..2 was loaded");
    for (const std::string *text :
         {&contents.Species.Survival, &contents.Species.Fecundity, &contents.Species.DispersalSigma}) {
        Require(FieldIsWholeReal(*text), "a fixed-point text does not convert wholly");
        Require(text->find('.') == text->size() - 2, "a fixed-point text has not one decimal");
    }
    for (const std::string *text : {&contents.Species.CompactionC, &contents.Species.MortalityAlpha}) {
        Require(text->size() == 23, "a long scientific text is not 23 characters");
        Require(FieldIsWholeReal(*text), "a long scientific text does not convert wholly");
    }
    Require(FieldIsWholeInteger(contents.Species.DispersalSensitivity), "the sensitivity text does not convert wholly");

    // What was loaded must set up a run, or be refused there with a message.
    Simul s;
    ApplySpeciesFile(contents, s.Settings.Species);
    s.Settings.Initial.EnvInitMode = 2;
    s.Settings.Initial.DistInitMode = 2;
    try {
        s.SetUpRun(1u);
        Require(std::isfinite(s.Species.Survival) && std::isfinite(s.Species.DispersalSigma),
                "set-up took a value that is not finite");
    } catch (const GlebixError &e) { Require(e.what()[0] != '\0', "set-up ended without a message"); }
    return 0;
}
