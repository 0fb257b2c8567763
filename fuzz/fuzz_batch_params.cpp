// Fuzzes the batch tool's --params reader. Any bytes are taken without a crash or an
// exception; what was accepted can be written back as NAME=VALUE lines and read
// again to the same settings with no problem.
#include <string>
#include <string_view>

#include "FuzzFiles.h"
#include "ParamsFile.h"
#include "SettingsTable.h"

using namespace glebix;
using namespace glebix::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    TSettings settings = DefaultSettings();
    const auto problems = invocation::ParseParamsText(text, "fuzz", settings);
    std::size_t lines = 1;
    for (char c : text) lines += c == '\n';
    Require(problems.size() <= lines, "more problems than lines");
    for (const std::string &p : problems) Require(StartsWith(p, "fuzz:"), "a problem does not name its source");

    std::string written;
    for (const std::string &name : core::SettingNames())
        written += name + "=" + core::SettingText(name, settings) + "\n";
    TSettings again = DefaultSettings();
    const auto reread = invocation::ParseParamsText(written, "again", again);
    Require(reread.empty(), "accepted settings cannot be read back");
    for (const std::string &name : core::SettingNames())
        Require(core::SettingText(name, again) == core::SettingText(name, settings),
                "a setting changed on reading back");
    return 0;
}
