#include "Language.h"

#include <cstdlib>

namespace glebix::core {

namespace {

bool NamesFrench(std::string_view name) {
    if (!name.starts_with("fr")) return false;
    return name.size() == 2 || name[2] == '_' || name[2] == '.' || name[2] == '@';
}

}  // namespace

Language ChooseLanguage(const std::array<const char *, 4> &values) {
    for (const char *value : values) {
        if (value == nullptr || *value == '\0') continue;
        std::string_view name(value);
        name = name.substr(0, name.find(':'));  // LANGUAGE's first choice; the others hold no colon
        return NamesFrench(name) ? Language::French : Language::English;
    }
    return Language::English;
}

Language UserLanguage() {
    std::array<const char *, 4> values{};
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = std::getenv(LanguageVariables[k]);
    return ChooseLanguage(values);
}

}  // namespace glebix::core
