#include "Messages.h"

#include <unordered_map>

#include "CalibrationError.h"
#include "RasterPath.h"

namespace glebix::core {

namespace {

const CatalogueEntry *Find(std::string_view key) {
    static const std::unordered_map<std::string_view, const CatalogueEntry *> byKey = [] {
        std::unordered_map<std::string_view, const CatalogueEntry *> out;
        for (const CatalogueEntry &e : Catalogue()) out.emplace(e.Key, &e);
        return out;
    }();
    const auto found = byKey.find(key);
    return found == byKey.end() ? nullptr : found->second;
}

std::string_view EnglishTemplate(MessageKey key) {
    const CatalogueEntry *entry = Find(key.Key());
    return entry != nullptr && *entry->English != '\0' ? entry->English : key.French();
}

const ContextWords EnglishContextWords{"\"", "\"", "line ", "file line ", "column ", ": "};

}  // namespace

std::string MessageIn(Language language, std::string_view key, const std::vector<std::string> &args) {
    const CatalogueEntry *entry = Find(key);
    if (entry == nullptr) return std::string(key);
    return FillPlaceholders(language == Language::French ? entry->French : entry->English, args);
}

std::string Message(std::string_view key, std::initializer_list<std::string> args) {
    return MessageIn(UserLanguage(), key, std::vector<std::string>(args));
}

std::string RenderIn(Language language, const EngineMessage &message) {
    return language == Language::French ? message.French() : message.Render(EnglishTemplate);
}

std::string LocalMessage(const EngineMessage &message) { return RenderIn(UserLanguage(), message); }

std::string SettingDescriptionKey(const SettingRow &row) {
    std::string key = "engine.describe.";
    for (const char c : row.name) key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return key;
}

std::string SettingDescription(const SettingRow &row) {
    return MessageIn(UserLanguage(), SettingDescriptionKey(row), {});
}

std::string Labelled(const std::string &label, const std::string &text) {
    return label + Message("context_separator") + text;
}

namespace {

// A raster read as its grid text is cited by its own line and column, not by those of
// the text, which no one sees.
ErrorContext CitedContext(const ErrorContext &context) {
    if (context.GridLine == 0 || context.Path.empty() || !IsReadAsRaster(context.Path)) return context;
    ErrorContext cited = context;
    cited.Line = context.GridLine;
    cited.Column = context.GridColumn;
    return cited;
}

}  // namespace

std::string LocalDescribeContext(const ErrorContext &context) {
    const ErrorContext cited = CitedContext(context);
    return UserLanguage() == Language::French ? DescribeContext(cited) : DescribeContext(cited, EnglishContextWords);
}

std::string LocalMessageWithContext(const GlebixError &error) {
    const std::string where = LocalDescribeContext(error.Context());
    const std::string message = LocalMessage(error.Message());
    return where.empty() ? message : Labelled(where, message);
}

std::string LocalExceptionMessage(const std::exception &error) {
    if (const auto *own = dynamic_cast<const GlebixError *>(&error)) return LocalMessageWithContext(*own);
    if (const auto *calibration = dynamic_cast<const calibration::CalibrationError *>(&error))
        return MessageIn(UserLanguage(), calibration->Key(), calibration->Args());
    return LocalMessage(ErrorMessageOf(error));
}

std::string LocalIoErrorMessage(int errnum, const std::string &path) {
    return LocalMessage(IoErrorMessage(errnum, path));
}

}  // namespace glebix::core
