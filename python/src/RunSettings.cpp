#include "RunSettings.h"

#include <algorithm>

#include "SettingsTable.h"

namespace glebix::python {

TSettings BuildRunSettings(const std::optional<SpeciesFileContents> &species, const NamedTexts &named) {
    TSettings settings = DefaultSettings();
    if (species) ApplySpeciesFile(*species, settings.Species);
    const auto &names = core::SettingNames();
    for (const auto &[name, text] : named) {
        if (std::find(names.begin(), names.end(), name) == names.end())
            throw SettingRefused(core::UnknownSettingMessage(name), name, true);
        if (auto problem = core::ApplySetting(name, text, settings)) throw SettingRefused(*problem, name, false);
    }
    return settings;
}

}  // namespace glebix::python
