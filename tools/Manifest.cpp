#include "Manifest.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <ctime>

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

QJsonArray InputsArray(const std::vector<InputFileRecord> &inputs) {
    QJsonArray array;
    for (const InputFileRecord &in : inputs) {
        QJsonObject object;
        object["role"] = Text(in.Role);
        object["path"] = Text(in.Path);
        object["size"] = in.Size < 0 ? QJsonValue() : QJsonValue(static_cast<qint64>(in.Size));
        object["sha256"] = in.Sha256.empty() ? QJsonValue() : Text(in.Sha256);
        array.append(object);
    }
    return array;
}

QJsonObject OutputsObject(const ManifestContents &m) {
    QJsonObject object;
    object["result_file"] = PathOrNull(m.ResultFile);
    object["trace"] = PathOrNull(m.Trace);
    object["snapshots"] = PathOrNull(m.Snapshots);
    object["asc"] = PathOrNull(m.Asc);
    return object;
}

}  // namespace

std::string Sha256Hex(const std::string &bytes) {
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), QCryptographicHash::Sha256);
    return digest.toHex().toStdString();
}

std::vector<InputFileRecord> DescribeInputs(const BatchOptions &options) {
    std::vector<InputFileRecord> records;
    for (const InputFile &input : RunInputs(options)) {
        InputFileRecord r{input.Role, input.Path, -1, {}};
        const ReadInput &read = ReadInputOnce(*options.Files, input.Path);
        if (read.Bytes) {
            r.Size = static_cast<std::int64_t>(read.Bytes->size());
            r.Sha256 = Sha256Hex(*read.Bytes);
        }
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

std::string ManifestText(const ManifestContents &c) {
    QJsonObject m;
    m["program"] = Text(c.Program);
    m["version"] = Text(VersionNumber());
    m["run"] = c.Run;
    m["replicates"] = c.Replicates;
    m["seed"] = static_cast<qint64>(c.Seed);
    m["master_seed"] = static_cast<qint64>(c.MasterSeed);
    m["seed_source"] = c.SeedFromClock ? "clock" : "option";
    m["step_count"] = c.StepCount;
    m["steps_reached"] = c.StepsReached;
    m["status"] = c.Completed ? "completed" : c.Interrupted ? "interrupted" : "error";
    m["message"] = c.Message.empty() ? QJsonValue() : Text(c.Message);
    m["started_utc"] = Text(c.Started);
    m["elapsed_seconds"] = c.Seconds;
    m["settings"] = SettingsObject(c.Settings);
    m["inputs"] = InputsArray(c.Inputs);
    m["outputs"] = OutputsObject(c);
    QJsonArray command;
    for (const std::string &argument : c.Command) command.append(Text(argument));
    m["command"] = command;
    const QByteArray json = QJsonDocument(m).toJson(QJsonDocument::Indented);
    return std::string(json.constData(), static_cast<std::size_t>(json.size()));
}

std::string ManifestPathBeside(const std::string &resultFilePath) {
    const std::size_t slash = resultFilePath.find_last_of('/');
    const std::size_t dot = resultFilePath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? resultFilePath.substr(0, dot) : resultFilePath) + ".json";
}

std::string ManifestJson(const BatchOptions &options, const RunPlan &plan, const RunRecord &record,
                         const std::vector<InputFileRecord> &inputs, const Simul &simul, const ManifestFacts &facts) {
    ManifestContents c;
    c.Program = "glebix-batch";
    c.Run = plan.Run;
    c.Replicates = options.Replicates;
    c.Seed = plan.Seed;
    c.MasterSeed = facts.MasterSeed;
    c.SeedFromClock = facts.SeedFromClock;
    c.StepCount = record.StepCount;
    c.StepsReached = record.StepsReached;
    c.Completed = record.Completed;
    c.Interrupted = record.Interrupted;
    c.Message = record.Message;
    c.Started = facts.Started;
    c.Seconds = record.Seconds;
    c.Settings = simul.Settings;
    c.Inputs = inputs;
    c.ResultFile = plan.OutDir.empty() ? std::string() : simul.ResultFilePath();
    c.Trace = plan.TracePath;
    c.Snapshots = plan.SnapshotDir;
    c.Asc = plan.AscDir;
    c.Command = options.Arguments;
    return ManifestText(c);
}

}  // namespace glebix::batch
