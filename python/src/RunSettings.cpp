#include "RunSettings.h"

#include <algorithm>

#include "SettingsTable.h"

namespace glebix::python {

TSettings BuildRunSettings(const std::optional<SpeciesFileContents> &species, const NamedTexts &named) {
    TSettings settings = DefaultSettings();
    if (species) ApplySpeciesFile(*species, settings.Species);
    const auto &names = batch::SettingNames();
    for (const auto &[name, text] : named) {
        if (std::find(names.begin(), names.end(), name) == names.end())
            throw SettingRefused(batch::UnknownSettingMessage(name), name, true);
        if (auto problem = batch::ApplySetting(name, text, settings)) throw SettingRefused(*problem, name, false);
    }
    return settings;
}

}  // namespace glebix::python
