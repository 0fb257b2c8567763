// The lines of a text the calibration wrote (its state, its slice files), without
// their line ends; a last line without one is a line too.
#pragma once

#include <algorithm>
#include <string_view>
#include <vector>

namespace glebix::calibration {

inline std::vector<std::string_view> TextLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        lines.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

}  // namespace glebix::calibration
