// The batch tool as it ships, for the tests whose target defines GLEBIX_BATCH_PROGRAM
// (its path), and what they read back of a calibration.
#pragma once

#include <charconv>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace glebix::testing {

// The exit status of the program run with `arguments` (words of the shell), its output
// and errors into `output`, its messages in English; -1 when it did not exit.
inline int RunProgram(const std::string &arguments, const std::string &output = "/dev/null") {
    const std::string command =
        "LANGUAGE=en " + std::string(GLEBIX_BATCH_PROGRAM) + " " + arguments + " >" + output + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Interval {
    double Low = 0, High = 0;
};

// The 95 % interval of the one factor of a posterior-summary.csv.
inline std::optional<Interval> Interval95(const std::string &summary) {
    constexpr std::size_t Columns = 6, Low95 = 4, High95 = 5;
    std::istringstream lines(summary);
    std::string header, row;
    if (!std::getline(lines, header) || header != "factor,median,mean,low50,high50,low95,high95") return std::nullopt;
    if (!std::getline(lines, row)) return std::nullopt;
    std::vector<double> values;
    std::istringstream fields(row);
    std::string field;
    std::getline(fields, field, ',');
    while (std::getline(fields, field, ',')) {
        double v = 0;
        if (std::from_chars(field.data(), field.data() + field.size(), v).ec != std::errc()) return std::nullopt;
        values.push_back(v);
    }
    if (values.size() != Columns) return std::nullopt;
    return Interval{values[Low95], values[High95]};
}

}  // namespace glebix::testing
