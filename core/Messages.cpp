#include "Messages.h"

#include <optional>
#include <unordered_map>

#include "CalibrationError.h"
#include "RasterInput.h"

namespace glebix::batch {

namespace {

// The placeholder {k} that starts at text[at], as k.
std::optional<std::size_t> PlaceholderAt(std::string_view text, std::size_t at, std::size_t &length) {
    if (text[at] != '{') return std::nullopt;
    const auto close = text.find('}', at);
    if (close == std::string_view::npos || close == at + 1 || close > at + 3) return std::nullopt;
    std::size_t k = 0;
    for (std::size_t i = at + 1; i < close; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        k = k * 10 + static_cast<std::size_t>(text[i] - '0');
    }
    length = close - at + 1;
    return k;
}

// Whether `text` from `at` matches `pattern` from `from`, each placeholder standing
// for at least one character; the parts matched go to `parts` by number.
bool Matches(std::string_view pattern, std::size_t from, std::string_view text, std::size_t at,
             std::vector<std::string> &parts) {
    if (from == pattern.size()) return at == text.size();
    std::size_t length = 0;
    const auto k = PlaceholderAt(pattern, from, length);
    if (!k) return at < text.size() && text[at] == pattern[from] && Matches(pattern, from + 1, text, at + 1, parts);
    if (parts.size() <= *k) parts.resize(*k + 1);
    for (std::size_t end = at + 1; end <= text.size(); ++end) {
        if (Matches(pattern, from + length, text, end, parts)) {
            parts[*k] = std::string(text.substr(at, end - at));
            return true;
        }
    }
    return false;
}

const CatalogueEntry *Find(std::string_view key) {
    static const std::unordered_map<std::string_view, const CatalogueEntry *> byKey = [] {
        std::unordered_map<std::string_view, const CatalogueEntry *> out;
        for (const CatalogueEntry &e : Catalogue()) out.emplace(e.Key, &e);
        return out;
    }();
    const auto found = byKey.find(key);
    return found == byKey.end() ? nullptr : found->second;
}

// The keys of the engine's messages, the only ones FromFrench looks for.
constexpr std::string_view EnginePrefix = "engine.";

const ContextWords EnglishContextWords{"\"", "\"", "line ", "file line ", "column ", ": "};

}  // namespace

std::string FillPlaceholders(std::string_view text, const std::vector<std::string> &args) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 0;
        const auto k = PlaceholderAt(text, at, length);
        if (k && *k < args.size()) {
            out += args[*k];
            at += length;
        } else {
            out += text[at++];
        }
    }
    return out;
}

std::string MessageIn(Language language, std::string_view key, const std::vector<std::string> &args) {
    const CatalogueEntry *entry = Find(key);
    if (entry == nullptr) return std::string(key);
    return FillPlaceholders(language == Language::French ? entry->French : entry->English, args);
}

std::string Message(std::string_view key, std::initializer_list<std::string> args) {
    return MessageIn(UserLanguage(), key, std::vector<std::string>(args));
}

std::string FromFrenchIn(Language language, const std::string &french) {
    if (language == Language::French || french.empty()) return french;
    for (const CatalogueEntry &entry : Catalogue()) {
        if (!std::string_view(entry.Key).starts_with(EnginePrefix)) continue;
        std::vector<std::string> parts;
        if (!Matches(entry.French, 0, french, 0, parts)) continue;
        for (auto &part : parts) part = FromFrenchIn(language, part);
        return FillPlaceholders(entry.English, parts);
    }
    return french;
}

std::string FromFrench(const std::string &french) { return FromFrenchIn(UserLanguage(), french); }

std::string Labelled(const std::string &label, const std::string &text) {
    return label + Message("context_separator") + text;
}

namespace {

// A raster read as its grid text is cited by its own line and column, not by those of
// the text, which no one sees.
ErrorContext CitedContext(const ErrorContext &context) {
    if (context.GridLine == 0 || context.Path.empty() || !gis::IsReadAsRaster(context.Path)) return context;
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
    const std::string message = FromFrench(error.what());
    return where.empty() ? message : Labelled(where, message);
}

std::string LocalExceptionMessage(const std::exception &error) {
    if (const auto *own = dynamic_cast<const GlebixError *>(&error)) return LocalMessageWithContext(*own);
    if (const auto *calibration = dynamic_cast<const calibration::CalibrationError *>(&error))
        return MessageIn(UserLanguage(), calibration->Key(), calibration->Args());
    return FromFrench(ExceptionMessage(error));
}

std::string LocalIoErrorMessage(int errnum, const std::string &path) {
    return FromFrench(IoErrorMessage(errnum, path));
}

}  // namespace glebix::batch
