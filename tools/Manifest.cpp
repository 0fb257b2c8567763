#include "Manifest.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <ctime>
#include <filesystem>

#include "FileIo.h"
#include "InputFile.h"
#include "SettingsTable.h"
#include "Simul.h"

namespace glebix::batch {

namespace {

QJsonValue Text(const std::string &text) { return QString::fromStdString(text); }
// A path, or null for an output not asked for.
QJsonValue PathOrNull(const std::string &path) { return path.empty() ? QJsonValue() : Text(path); }

QJsonObject SettingsObject(const TSettings &settings) {
    QJsonObject object;
    object["StepCount"] = Text(settings.Run.StepCount);
    for (const std::string &name : SettingNames())
        object[QString::fromStdString(name)] = Text(SettingText(name, settings));
    return object;
}

// A path as an absolute one, without resolving links; null when it has none.
QJsonValue AbsolutePath(const std::string &path) {
    std::error_code ec;
    const std::filesystem::path absolute = path.empty() ? std::filesystem::path() : std::filesystem::absolute(path, ec);
    return absolute.empty() || ec ? QJsonValue() : Text(absolute.lexically_normal().string());
}

QJsonArray InputsArray(const std::vector<InputFileRecord> &inputs) {
    QJsonArray array;
    for (const InputFileRecord &in : inputs) {
        QJsonObject object;
        object["role"] = Text(in.Role);
        object["path"] = Text(in.Path);
        object["absolute_path"] = AbsolutePath(in.Path);
        object["size"] = in.Size < 0 ? QJsonValue() : QJsonValue(static_cast<qint64>(in.Size));
        object["sha256"] = in.Sha256.empty() ? QJsonValue() : Text(in.Sha256);
        array.append(object);
    }
    return array;
}

// The outputs the run wrote: a file that was never written (the result file of a run
// without steps, or of a run that ended before its last step) is not listed.
QJsonObject OutputsObject(const RunPlan &plan, const Simul &simul, const std::vector<std::string> &written) {
    auto wrote = [&written](const std::string &path) {
        return std::find(written.begin(), written.end(), path) != written.end();
    };
    auto listed = [&](const std::string &path) { return !path.empty() && wrote(path) ? path : std::string(); };
    const bool maps = std::any_of(written.begin(), written.end(), [&plan](const std::string &path) {
        return !plan.SnapshotDir.empty() && ParentOf(path) == plan.SnapshotDir;
    });
    QJsonObject object;
    object["result_file"] = PathOrNull(plan.OutDir.empty() ? std::string() : listed(simul.ResultFilePath()));
    object["trace"] = PathOrNull(listed(plan.TracePath));
    object["snapshots"] = PathOrNull(maps ? plan.SnapshotDir : std::string());
    object["asc"] =
        PathOrNull(plan.AscDir.empty() || !wrote(Join(plan.AscDir, DensityGridName)) ? std::string() : plan.AscDir);
    return object;
}

QJsonArray TextArray(const std::vector<std::string> &texts) {
    QJsonArray array;
    for (const std::string &text : texts) array.append(Text(text));
    return array;
}

std::string WorkingDirectory() {
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return ec ? std::string() : here.string();
}

}  // namespace

std::vector<InputFileRecord> DescribeInputs(const BatchOptions &options, const TSettings *settings,
                                            std::map<std::string, InputFileRecord> *digests) {
    std::vector<InputFileRecord> records;
    for (const InputFile &input : RunInputs(options, settings)) {
        if (digests) {
            if (auto known = digests->find(input.Path); known != digests->end()) {
                records.push_back(known->second);
                records.back().Role = input.Role;
                continue;
            }
        }
        InputFileRecord r{input.Role, input.Path, -1, {}};
        const ReadInput &read = ReadInputOnce(*options.Files, input.Path);
        if (read.Bytes) {
            const std::string &bytes = *read.Bytes;
            r.Size = static_cast<std::int64_t>(bytes.size());
            const QByteArray digest = QCryptographicHash::hash(
                QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), QCryptographicHash::Sha256);
            r.Sha256 = digest.toHex().toStdString();
        }
        if (digests) (*digests)[input.Path] = r;
        records.push_back(std::move(r));
    }
    return records;
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(text, n);
}

std::string ManifestJson(const BatchOptions &options, const RunPlan &plan, const RunRecord &record,
                         const std::vector<InputFileRecord> &inputs, const Simul &simul, const ManifestFacts &facts) {
    QJsonObject m;
    m["program"] = "glebix-batch";
    m["version"] = Text(VersionNumber());
    m["run"] = plan.Replicate;
    m["replicates"] = options.Replicates;
    if (options.StudyDesign) {
        m["point"] = plan.Point;
        QJsonObject design;
        for (const std::string &name : options.StudyDesign->Columns)
            design[QString::fromStdString(name)] = Text(SettingText(name, plan.Settings));
        m["design"] = design;
        m["independent_seeds"] = options.IndependentSeeds;
    }
    m["seed"] = static_cast<qint64>(plan.Seed);
    m["master_seed"] = static_cast<qint64>(facts.MasterSeed);
    m["seed_source"] = facts.SeedFromClock ? "clock" : "option";
    m["step_count"] = record.StepCount;
    m["steps_reached"] = record.StepsReached;
    m["status"] = record.Completed ? "completed" : record.Interrupted ? "interrupted" : "error";
    m["message"] = record.Message.empty() ? QJsonValue() : Text(record.Message);
    m["started_utc"] = Text(facts.Started);
    m["elapsed_seconds"] = record.Seconds;
    m["settings"] = SettingsObject(simul.Settings);
    m["inputs"] = InputsArray(inputs);
    m["outputs"] = OutputsObject(plan, simul, facts.Written);
    m["warnings"] = TextArray(facts.Warnings);
    m["working_directory"] = PathOrNull(WorkingDirectory());
    QJsonArray command;
    for (const std::string &argument : options.Arguments) command.append(Text(argument));
    m["command"] = command;
    const QByteArray json = QJsonDocument(m).toJson(QJsonDocument::Indented);
    return std::string(json.constData(), static_cast<std::size_t>(json.size()));
}

}  // namespace glebix::batch
