#include "CalibrationSlices.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>

#include "AtomicFile.h"
#include "CalibrationError.h"
#include "TextLines.h"
#include "Errors.h"
#include "InputFile.h"
#include "Messages.h"
#include "Sha256.h"

namespace glebix::analysis {

namespace {

using calibration::CountText;
using calibration::NumberText;
using core::Message;

constexpr std::string_view Magic = "glebix-calibration-slice";
constexpr std::string_view FilePrefix = "calibration-slice-", FileSuffix = ".txt";
constexpr std::string_view DigestRecord = "sha256 ";

// The words of one line, read in order; a missing or malformed word refuses the file,
// naming it and the line.
class Words {
public:
    Words(std::string_view line, std::size_t number, const std::string &source)
        : line_(line), number_(number), source_(source) {}
    std::string_view Next() {
        if (at_ > line_.size()) Fail();
        const std::size_t end = std::min(line_.find(' ', at_), line_.size());
        const std::string_view word = line_.substr(at_, end - at_);
        at_ = end + 1;
        return word;
    }
    void Expect(std::string_view word) {
        if (Next() != word) Fail();
    }
    bool AtEnd() const { return at_ > line_.size(); }
    template <class T>
    T Number() {
        const std::string_view word = Next();
        T value{};
        const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (ec != std::errc() || end != word.data() + word.size()) Fail();
        return value;
    }
    void End() const {
        if (!AtEnd()) Fail();
    }
    [[noreturn]] void Fail() const {
        throw GlebixError(Message("calibration.slice_corrupt", {source_, CountText(number_)}));
    }

private:
    std::string_view line_;
    std::size_t number_;
    const std::string &source_;
    std::size_t at_ = 0;
};

std::string SliceName(const core::Slice &slice) {
    return std::to_string(slice.Index) + "/" + std::to_string(slice.Count);
}

// The runs' lines of a slice file read into `out`, from line `from` (0-based).
void ReadRuns(const std::vector<std::string_view> &lines, std::size_t from, std::size_t count,
              const std::string &source, CalibrationSlice &out) {
    for (std::size_t k = 0; k < count; ++k) {
        Words words(lines[from + k], from + k + 1, source);
        words.Expect("run");
        std::vector<double> values;
        while (!words.AtEnd()) values.push_back(words.Number<double>());
        out.Summaries.push_back(std::move(values));
    }
}

// A slice file read, with its path.
struct Found {
    std::string Path;
    CalibrationSlice Slice;
};

// Checks that the slice files of one batch (`found`, of one place and points) make its
// whole, and gives their summaries in the runs' order.
void Assemble(const std::vector<Found> &found, const CalibrationBatchId &batch, std::size_t runs,
              const std::string &folder, GatheredBatch &out) {
    const int count = found.front().Slice.Slice.Count;
    std::map<int, const Found *> byIndex;
    for (const Found &f : found) {
        const core::Slice &slice = f.Slice.Slice;
        if (slice.Count != count) {
            out.Problems.push_back(
                Message("calibration.slice_other_count", {f.Path, SliceName(slice), std::to_string(count)}));
            continue;
        }
        const auto [first, last] = core::SliceBounds(static_cast<int>(runs), slice);
        if (f.Slice.Runs != runs || f.Slice.First != static_cast<std::size_t>(first) ||
            f.Slice.Summaries.size() != static_cast<std::size_t>(last - first)) {
            out.Problems.push_back(Message("calibration.slice_other_batch", {f.Path}));
            continue;
        }
        const auto [at, added] = byIndex.emplace(slice.Index, &f);
        if (!added) out.Problems.push_back(Message("calibration.slice_duplicate", {f.Path, at->second->Path}));
    }
    std::string missing;
    for (int i = 1; i <= count; ++i)
        if (!byIndex.count(i)) missing += (missing.empty() ? "" : ", ") + std::to_string(i);
    if (!missing.empty())
        out.Problems.push_back(
            Message("calibration.slices_missing",
                    {CountText(batch.Generation), CountText(batch.Batch), missing, std::to_string(count), folder}));
    if (!out.Problems.empty()) return;
    for (const auto &[index, f] : byIndex)
        out.Summaries.insert(out.Summaries.end(), f->Slice.Summaries.begin(), f->Slice.Summaries.end());
}

std::vector<std::filesystem::path> SliceFiles(const std::string &folder) {
    std::vector<std::filesystem::path> out;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error))
        if (IsCalibrationSliceFileName(entry.path().filename().string())) out.push_back(entry.path());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

std::string CalibrationBatchDigest(const std::vector<CalibrationRun> &runs, std::string_view what) {
    std::string text(what);
    for (const CalibrationRun &run : runs) {
        for (double v : run.Values) text += NumberText(v) + ' ';
        text += std::to_string(run.Seed) + ' ' + std::to_string(run.Point) + ' ' + std::to_string(run.Replicate) + '\n';
    }
    return Sha256Hex(text);
}

std::string CalibrationSliceFileName(const CalibrationBatchId &batch, const core::Slice &slice) {
    return std::string(FilePrefix) + "g" + CountText(batch.Generation) + "-b" + CountText(batch.Batch) + "-" +
           std::to_string(slice.Index) + "of" + std::to_string(slice.Count) + std::string(FileSuffix);
}

bool IsCalibrationSliceFileName(std::string_view name) {
    return name.size() > FilePrefix.size() + FileSuffix.size() && name.substr(0, FilePrefix.size()) == FilePrefix &&
           name.substr(name.size() - FileSuffix.size()) == FileSuffix;
}

std::string CalibrationSliceText(const CalibrationSlice &slice) {
    std::string text = std::string(Magic) + ' ' + CountText(CalibrationSliceVersion) + '\n';
    text += "generation " + CountText(slice.Batch.Generation) + '\n';
    text += "batch " + CountText(slice.Batch.Batch) + '\n';
    text += "points " + slice.Batch.Points + '\n';
    text += "slice " + std::to_string(slice.Slice.Index) + ' ' + std::to_string(slice.Slice.Count) + '\n';
    text +=
        "runs " + CountText(slice.Runs) + ' ' + CountText(slice.First) + ' ' + CountText(slice.Summaries.size()) + '\n';
    for (const std::vector<double> &run : slice.Summaries) {
        text += "run";
        for (double v : run) text += ' ' + NumberText(v);
        text += '\n';
    }
    return text + std::string(DigestRecord) + Sha256Hex(text) + '\n';
}

CalibrationSlice ReadCalibrationSlice(std::string_view text, const std::string &source) {
    const std::size_t digestAt = text.rfind(std::string("\n") + std::string(DigestRecord));
    const auto fail = [&source](std::size_t line) -> CalibrationSlice {
        throw GlebixError(Message("calibration.slice_corrupt", {source, CountText(line)}));
    };
    const std::vector<std::string_view> lines = calibration::TextLines(text);
    if (digestAt == std::string_view::npos || text.empty() || text.back() != '\n') return fail(lines.size());
    const std::string_view body = text.substr(0, digestAt + 1);
    if (text.substr(digestAt + 1) != std::string(DigestRecord) + Sha256Hex(body) + '\n') return fail(lines.size());
    constexpr std::size_t HeaderLines = 6;
    if (lines.size() < HeaderLines + 1) return fail(lines.size());
    CalibrationSlice out;
    Words magic(lines[0], 1, source);
    magic.Expect(Magic);
    if (magic.Number<std::size_t>() != CalibrationSliceVersion) magic.Fail();
    Words generation(lines[1], 2, source), batch(lines[2], 3, source), points(lines[3], 4, source);
    generation.Expect("generation");
    out.Batch.Generation = generation.Number<std::size_t>();
    batch.Expect("batch");
    out.Batch.Batch = batch.Number<std::size_t>();
    points.Expect("points");
    out.Batch.Points = std::string(points.Next());
    Words slice(lines[4], 5, source), runs(lines[5], 6, source);
    slice.Expect("slice");
    out.Slice.Index = slice.Number<int>();
    out.Slice.Count = slice.Number<int>();
    if (out.Slice.Index < 1 || out.Slice.Index > out.Slice.Count) slice.Fail();
    runs.Expect("runs");
    out.Runs = runs.Number<std::size_t>();
    out.First = runs.Number<std::size_t>();
    const auto count = runs.Number<std::size_t>();
    for (Words *w : {&magic, &generation, &batch, &points, &slice, &runs}) w->End();
    if (lines.size() != HeaderLines + count + 1) return fail(lines.size());
    ReadRuns(lines, HeaderLines, count, source, out);
    return out;
}

GatheredBatch GatherCalibrationSlices(const std::string &folder, const CalibrationBatchId &batch, std::size_t runs) {
    GatheredBatch out;
    std::vector<Found> found;
    for (const std::filesystem::path &path : SliceFiles(folder)) {
        try {
            Found f{path.string(), ReadCalibrationSlice(ReadInputFile(path.string()), path.string())};
            if (f.Slice.Batch.Generation != batch.Generation || f.Slice.Batch.Batch != batch.Batch) continue;
            if (f.Slice.Batch.Points != batch.Points)
                out.Problems.push_back(Message("calibration.slice_other_batch", {f.Path}));
            else
                found.push_back(std::move(f));
        } catch (const GlebixError &e) { out.Problems.push_back(core::LocalMessageWithContext(e)); }
    }
    if (found.empty() && out.Problems.empty()) {
        out.None = true;
        return out;
    }
    if (!found.empty()) Assemble(found, batch, runs, folder, out);
    return out;
}

std::optional<std::string> CalibrationSliceNotReplaced(const std::string &folder, const CalibrationSlice &slice) {
    const std::string path =
        (std::filesystem::path(folder) / CalibrationSliceFileName(slice.Batch, slice.Slice)).string();
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return std::nullopt;
    try {
        if (ReadCalibrationSlice(ReadInputFile(path), path).Batch.Points == slice.Batch.Points) return std::nullopt;
    } catch (const GlebixError &) { return std::nullopt; }
    return Message("calibration.slice_not_replaced", {path});
}

std::string WriteCalibrationSlice(const std::string &folder, const CalibrationSlice &slice) {
    const std::string path =
        (std::filesystem::path(folder) / CalibrationSliceFileName(slice.Batch, slice.Slice)).string();
    WriteFileAtomically(path, CalibrationSliceText(slice));
    return path;
}

std::string GatheredLine(const CalibrationBatchId &batch) {
    return CountText(batch.Generation) + ' ' + CountText(batch.Batch) + ' ' + batch.Points + '\n';
}

bool IsGatheredCalibrationBatch(const std::string &folder, const CalibrationBatchId &batch) {
    const std::filesystem::path path = std::filesystem::path(folder) / GatheredBatchesFileName;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return false;
    try {
        const std::string text = "\n" + ReadInputFile(path.string());
        return text.find("\n" + GatheredLine(batch)) != std::string::npos;
    } catch (const GlebixError &) { return false; }  // the batch's slices run again, to the same bytes
}

void KeepGatheredCalibrationBatches(const std::string &folder, const std::vector<CalibrationBatchId> &batches) {
    std::string text;
    for (const CalibrationBatchId &batch : batches) text += GatheredLine(batch);
    WriteFileAtomically((std::filesystem::path(folder) / GatheredBatchesFileName).string(), text);
}

void RemoveCalibrationSlices(const std::string &folder, std::size_t generation) {
    std::error_code removed;
    std::filesystem::remove(std::filesystem::path(folder) / GatheredBatchesFileName, removed);
    for (const std::filesystem::path &path : SliceFiles(folder)) {
        std::error_code ignored;
        try {
            const CalibrationSlice slice = ReadCalibrationSlice(ReadInputFile(path.string()), path.string());
            if (generation == 0 || slice.Batch.Generation <= generation) std::filesystem::remove(path, ignored);
        } catch (const GlebixError &) {}  // a corrupt file stays for the user to see
    }
}

}  // namespace glebix::analysis
