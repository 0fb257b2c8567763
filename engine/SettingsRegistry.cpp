#include "SettingsRegistry.h"

namespace glebix {

const std::vector<SettingRow> &SettingRows() {
    static const std::vector<SettingRow> rows = [] {
        std::vector<SettingRow> out;
        const TSettings defaults = DefaultSettings();
        VisitSettings(defaults, [&out](const SettingRow &row, const auto &) { out.push_back(row); });
        return out;
    }();
    return rows;
}

const SettingRow *FindSettingRow(std::string_view name) {
    for (const SettingRow &row : SettingRows())
        if (row.name == name) return &row;
    return nullptr;
}

}  // namespace glebix
