#include "ParamsFile.h"

#include "Errors.h"
#include "InputFile.h"
#include "Messages.h"
#include "SettingsTable.h"

namespace glebix::invocation {

// The core's names are this layer's words.
using namespace glebix::core;

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

std::vector<std::string> ParseParamsText(std::string_view text, std::string_view source, TSettings &settings) {
    std::vector<std::string> problems;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        line = Trim(line);
        if (line.empty() || line.front() == '#') continue;
        const std::string where = std::string(source) + ":" + std::to_string(lineNumber) + ": ";
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            problems.push_back(where + Message("params.line_form"));
            continue;
        }
        const std::string_view name = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (auto problem = ApplySetting(name, value, settings)) problems.push_back(where + *problem);
    }
    return problems;
}

std::vector<std::string> ReadParamsFile(const std::string &path, TSettings &settings) {
    std::string text;
    try {
        text = ReadInputFile(path);
    } catch (const GlebixError &e) { return {Labelled("--params " + path, LocalMessage(e.Message()))}; }
    return ParseParamsText(text, path, settings);
}

}  // namespace glebix::invocation
