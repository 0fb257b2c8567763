// Fuzzes the state file reader. Each input is sealed with its own checksum line, so the
// reader goes past the envelope into the contents: it either refuses the text with a
// message or gives a run whose file reads back as the very same run.
#include <string>

#include "Errors.h"
#include "FuzzFiles.h"
#include "SettingsTable.h"
#include "Sha256.h"
#include "StateFile.h"

using namespace glebix;
using namespace glebix::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += "sha256 " + Sha256Hex(text) + "\n";
    SavedRun run;
    try {
        run = ParseStateFile(text, "etat", core::CheckSavedSetting);
    } catch (const GlebixError &e) {
        Require(e.Context().Path == "etat", "a refusal without the file's name");
        return 0;
    }
    const std::string written = StateFileText(run);
    Require(StateFileText(ParseStateFile(written, "etat", core::CheckSavedSetting)) == written,
            "a written state does not read back");
    return 0;
}
