#include "StudyOutputs.h"

#include <algorithm>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>

#include "FileIo.h"
#include "IncompleteFile.h"
#include "Messages.h"
#include "OutputPlaces.h"
#include "OutputRegistry.h"
#include "OutputsAsked.h"
#include "StudyTable.h"
#include "PlotShape.h"

namespace glebix::invocation {

namespace {

// Runs `write`, keeping the first failure's message in `error`.
template <typename Write>
void Guard(std::string &error, Write write) {
    try {
        write();
    } catch (const std::exception &e) {
        if (error.empty()) error = LocalMessage(ErrorMessageOf(e));
    }
}

// An incomplete file an earlier invocation left for `path`, which a complete one
// now replaces.
void RemoveIncomplete(const std::string &path) {
    struct stat st {};
    for (const std::string &name : {IncompleteName(path), IncompleteManifestName(path)})
        if (::lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(name.c_str());
}

}  // namespace

bool SummaryWanted(const BatchOptions &options) {
    return (options.ReplicateLayout || options.StudyDesign) && !PrimaryOutputDir(options).empty();
}

bool TableCountsEmigrants(const BatchOptions &options) {
    const bool bounded = HasBoundedEdges(options.Settings.Plot);
    return options.StudyDesign ? core::TableCountsEmigrants(bounded, options.StudyDesign->Columns) : bounded;
}

CountColumns TableCounts(const BatchOptions &options) {
    return core::TableCounts(options.Settings,
                             options.StudyDesign ? options.StudyDesign->Columns : std::vector<std::string>{});
}

std::string SummaryPath(const BatchOptions &options) {
    return SummaryWanted(options) ? Join(PrimaryOutputDir(options), "summary.csv") : std::string();
}

std::vector<std::string> StudyWideFiles(const BatchOptions &options) {
    std::vector<std::string> files;
    for (const OutputKind &kind : OutputKinds())
        if (const std::string path = AskedPath(options, kind); kind.lock == OutputLock::Itself && !path.empty())
            files.push_back(path);
    return files;
}

StudyOutputs::StudyOutputs(const BatchOptions &options, const StudyLayout &layout, BatchOutcome &outcome)
    : options_(options),
      layout_(layout),
      outcome_(outcome),
      tableWritten_(outcome.Runs.size()),
      summaryWritten_(outcome.Runs.size()) {}

namespace {

// The columns after a step's: the rule that stopped the run, then its metrics.
std::vector<std::string> RunColumns(const BatchOptions &options) {
    std::vector<std::string> columns;
    if (!options.StopRules.empty()) columns.push_back(StoppedByColumn);
    columns.insert(columns.end(), options.TableMetrics.begin(), options.TableMetrics.end());
    return columns;
}

}  // namespace

std::string StudyOutputs::Open() {
    const std::vector<std::string> columns =
        options_.StudyDesign ? options_.StudyDesign->Columns : std::vector<std::string>{};
    try {
        if (!OutputAsked(options_, "--table").empty()) {
            MakeDirectories(ParentOf(OutputAsked(options_, "--table")));
            table_.Open(OutputAsked(options_, "--table"));
            table_.Write(StudyTableHeader(columns, TableCounts(options_), RunColumns(options_)));
        }
    } catch (const std::exception &e) { return Labelled("--table", LocalMessage(ErrorMessageOf(e))); }
    if (!SummaryWanted(options_)) return {};
    Guard(summaryError_, [&] {
        MakeDirectories(PrimaryOutputDir(options_));
        summary_.Open(SummaryPath(options_));
        summary_.Write(SummaryHeader(columns, options_.StudyDesign.has_value()));
    });
    return {};
}

void StudyOutputs::Consume(std::size_t index, RunRecord &record, std::string &rows) {
    outcome_.Runs[index] = EndOf(record);
    if (outcome_.Runs[index].Failed) outcome_.Messages[index] = record.Message;
    if (table_.IsOpen() && tableError_.empty()) {
        Guard(tableError_, [&] { table_.Write(rows); });
        tableWritten_[index] = tableError_.empty();
    }
    if (!summary_.IsOpen()) return;
    if (!group_.empty() && record.Point != groupPoint_) FlushGroup();
    groupPoint_ = record.Point;
    group_.push_back(std::move(record.Series));
    groupRuns_.push_back(index);
    record.Series = {};
}

bool StudyOutputs::Finish(const std::function<void(const std::string &)> &report) {
    const bool allResults = std::all_of(outcome_.Runs.begin(), outcome_.Runs.end(), IsResult);
    if (summary_.IsOpen()) {
        FlushGroup();
        Settle(summary_, summaryError_, summaryWritten_, allResults, report);
    }
    if (table_.IsOpen()) Settle(table_, tableError_, tableWritten_, allResults, report);
    if (report && !summaryError_.empty()) report(Labelled("summary.csv", summaryError_));
    if (report && !tableError_.empty()) report(Labelled("--table", tableError_));
    return summaryError_.empty() && tableError_.empty();
}

// Puts `file` in place when it is complete; otherwise keeps its rows as an incomplete
// file with the manifest of its runs, and says so.
void StudyOutputs::Settle(StreamedFile &file, std::string &error, const std::vector<bool> &written, bool complete,
                          const std::function<void(const std::string &)> &report) {
    const std::string path = file.Path();
    if (complete && error.empty()) {
        Guard(error, [&] { file.Finish(); });
        if (error.empty()) RemoveIncomplete(path);
        return;
    }
    std::string kept;
    Guard(kept, [&] {
        file.Keep(IncompleteName(path));
        WriteWholeFile(IncompleteManifestName(path),
                       IncompleteManifestText(path, layout_, outcome_.Runs, outcome_.Messages, written));
    });
    if (!kept.empty() && error.empty()) error = kept;
    if (report && kept.empty())
        report(Message("study.incomplete",
                       {QuotedPath(path), QuotedPath(IncompleteName(path)), QuotedPath(IncompleteManifestName(path))}));
}

void StudyOutputs::FlushGroup() {
    if (group_.empty()) return;
    std::string prefix;
    if (options_.StudyDesign)
        prefix = SummaryPrefix(groupPoint_, DesignValues(*options_.StudyDesign, PointSettings(options_, groupPoint_)));
    if (summaryError_.empty()) Guard(summaryError_, [&] { summary_.Write(SummaryRows(prefix, group_)); });
    for (std::size_t index : groupRuns_) summaryWritten_[index] = summaryError_.empty();
    group_.clear();
    groupRuns_.clear();
}

}  // namespace glebix::invocation
