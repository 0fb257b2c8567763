#include "SettingsRegistry.h"

namespace glebix {

namespace {

// The rows and, index for index, their defaults, from one visit of the defaults.
struct Registry {
    std::vector<SettingRow> rows;
    std::vector<SettingValue> defaults;
};

const Registry &TheRegistry() {
    static const Registry registry = [] {
        Registry out;
        const TSettings defaults = DefaultSettings();
        VisitSettings(defaults, [&out](const SettingRow &row, const auto &value) {
            out.rows.push_back(row);
            out.defaults.emplace_back(std::in_place_type<std::remove_cvref_t<decltype(value)>>, value);
        });
        return out;
    }();
    return registry;
}

}  // namespace

const std::vector<SettingRow> &SettingRows() { return TheRegistry().rows; }

const SettingRow *FindSettingRow(std::string_view name) {
    for (const SettingRow &row : SettingRows())
        if (row.name == name) return &row;
    return nullptr;
}

const SettingValue &DefaultValue(const SettingRow &row) {
    static const SettingValue none;
    const Registry &registry = TheRegistry();
    for (std::size_t k = 0; k < registry.rows.size(); ++k)
        if (registry.rows[k].name == row.name) return registry.defaults[k];
    return none;
}

}  // namespace glebix
