#include "IncompleteFile.h"

namespace glebix::invocation {

namespace {

std::string JsonString(const std::string &text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            static constexpr char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// "1-3,5": the replicates of one point, in increasing order.
std::string Ranges(const std::vector<int> &replicates) {
    std::string out;
    for (std::size_t k = 0; k < replicates.size();) {
        std::size_t last = k;
        while (last + 1 < replicates.size() && replicates[last + 1] == replicates[last] + 1) ++last;
        if (!out.empty()) out += ',';
        out += std::to_string(replicates[k]);
        if (last > k) out += '-' + std::to_string(replicates[last]);
        k = last + 1;
    }
    return out;
}

// The runs of one point that the file does not hold whole, by how they ended.
struct PointGaps {
    std::vector<int> notStarted, notWritten;
    std::string ended;  // the runs stopped on the way, one entry each
};

void AddGap(int point, int replicate, const RunEnd &r, const std::string *message, bool written, PointGaps &gaps) {
    if (!written) return gaps.notWritten.push_back(replicate);
    if (!r.Interrupted && !r.Failed) return gaps.notStarted.push_back(replicate);
    gaps.ended += ",\n    {\"point\": " + std::to_string(point) + ", \"replicates\": \"" + std::to_string(replicate) +
                  "\", \"status\": \"" + (r.Interrupted ? "interrupted" : "error") +
                  "\", \"steps_reached\": " + std::to_string(r.StepsReached) +
                  (message ? ", \"message\": " + JsonString(*message) : std::string()) + "}";
}

std::string RangeEntry(int point, const std::vector<int> &replicates, const char *status) {
    if (replicates.empty()) return {};
    return ",\n    {\"point\": " + std::to_string(point) + ", \"replicates\": \"" + Ranges(replicates) + "\"" +
           (status ? std::string(", \"status\": \"") + status + "\"" : std::string()) + "}";
}

}  // namespace

std::string IncompleteName(const std::string &path) { return path + ".incomplete"; }
std::string IncompleteManifestName(const std::string &path) { return IncompleteName(path) + ".json"; }

bool IsResult(const RunEnd &run) { return run.Completed || (run.Failed && !run.Interrupted && !run.SystemFault); }

std::string IncompleteManifestText(const std::string &path, const StudyLayout &layout, const std::vector<RunEnd> &runs,
                                   const std::map<std::size_t, std::string> &messages,
                                   const std::vector<bool> &written) {
    std::string whole, others;
    std::size_t wholeCount = 0;
    const auto replicates = static_cast<std::size_t>(layout.Replicates);
    for (std::size_t p = 0; p < layout.Points.size(); ++p) {
        const int point = layout.Points[p];
        std::vector<int> held;
        PointGaps gaps;
        for (std::size_t k = p * replicates; k < (p + 1) * replicates && k < runs.size(); ++k) {
            const int replicate = static_cast<int>(k - p * replicates) + 1;
            const auto message = messages.find(k);
            if (written[k] && IsResult(runs[k]))
                held.push_back(replicate);
            else
                AddGap(point, replicate, runs[k], message == messages.end() ? nullptr : &message->second, written[k],
                       gaps);
        }
        wholeCount += held.size();
        whole += RangeEntry(point, held, nullptr);
        others += gaps.ended + RangeEntry(point, gaps.notStarted, "not_started") +
                  RangeEntry(point, gaps.notWritten, "rows_not_written");
    }
    // Each entry starts with ",\n": the first comma goes.
    auto list = [](const std::string &items) {
        return items.empty() ? std::string("[]") : "[" + items.substr(1) + "\n  ]";
    };
    return "{\n  \"program\": \"glebix-batch\",\n  \"status\": \"incomplete\",\n  \"file\": " +
           JsonString(IncompleteName(path)) + ",\n  \"complete_name\": " + JsonString(path) +
           ",\n  \"runs\": " + std::to_string(runs.size()) + ",\n  \"whole_runs\": " + std::to_string(wholeCount) +
           ",\n  \"whole\": " + list(whole) + ",\n  \"not_whole\": " + list(others) + "\n}\n";
}

}  // namespace glebix::invocation
