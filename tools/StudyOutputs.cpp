#include "StudyOutputs.h"

#include <exception>

#include "FileIo.h"
#include "StudyTable.h"

namespace glebix::batch {

namespace {

// Runs `write`, keeping the first failure's message in `error`.
template <typename Write>
void Guard(std::string &error, Write write) {
    try {
        write();
    } catch (const std::exception &e) {
        if (error.empty()) error = e.what();
    }
}

}  // namespace

bool SummaryWanted(const BatchOptions &options) {
    return (options.ReplicateLayout || options.StudyDesign) && !PrimaryOutputDir(options).empty();
}

std::string StudyOutputs::Open() {
    const std::vector<std::string> columns =
        options_.StudyDesign ? options_.StudyDesign->Columns : std::vector<std::string>{};
    try {
        if (!options_.TablePath.empty()) {
            MakeDirectories(ParentOf(options_.TablePath));
            table_.Open(options_.TablePath);
            table_.Write(StudyTableHeader(columns));
        }
    } catch (const std::exception &e) { return std::string("--table : ") + e.what(); }
    if (!SummaryWanted(options_)) return {};
    Guard(summaryError_, [&] {
        MakeDirectories(PrimaryOutputDir(options_));
        summary_.Open(Join(PrimaryOutputDir(options_), "summary.csv"));
        summary_.Write(SummaryHeader(columns, options_.StudyDesign.has_value()));
    });
    return {};
}

void StudyOutputs::Consume(std::size_t index, std::string &rows) {
    RunRecord &record = runs_[index];
    if (table_.IsOpen()) Guard(tableError_, [&] { table_.Write(rows); });
    if (!summary_.IsOpen()) return;
    if (!group_.empty() && record.Point != groupPoint_) FlushGroup();
    groupPoint_ = record.Point;
    group_.push_back(std::move(record.Series));
    record.Series = {};
}

bool StudyOutputs::Finish(const std::function<void(const std::string &)> &report) {
    if (summary_.IsOpen()) {
        FlushGroup();
        Guard(summaryError_, [&] { summary_.Finish(); });
    }
    if (table_.IsOpen()) Guard(tableError_, [&] { table_.Finish(); });
    if (report && !summaryError_.empty()) report("summary.csv : " + summaryError_);
    if (report && !tableError_.empty()) report("--table : " + tableError_);
    return summaryError_.empty() && tableError_.empty();
}

void StudyOutputs::FlushGroup() {
    if (group_.empty()) return;
    std::string prefix;
    if (options_.StudyDesign)
        prefix = SummaryPrefix(groupPoint_, DesignValues(*options_.StudyDesign, PointSettings(options_, groupPoint_)));
    Guard(summaryError_, [&] { summary_.Write(SummaryRows(prefix, group_)); });
    group_.clear();
}

}  // namespace glebix::batch
