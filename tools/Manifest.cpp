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

QJsonObject OutputsObject(const RunPlan &plan, const Simul &simul) {
    QJsonObject object;
    object["result_file"] = PathOrNull(plan.OutDir.empty() ? std::string() : simul.ResultFilePath());
    object["trace"] = PathOrNull(plan.TracePath);
    object["snapshots"] = PathOrNull(plan.SnapshotDir);
    object["asc"] = PathOrNull(plan.AscDir);
    return object;
}

}  // namespace

std::vector<InputFileRecord> DescribeInputs(const BatchOptions &options) {
    std::vector<InputFileRecord> records;
    for (const InputFile &input : RunInputs(options)) {
        InputFileRecord r{input.Role, input.Path, -1, {}};
        const ReadInput &read = ReadInputOnce(*options.Files, input.Path);
        if (read.Bytes) {
            const std::string &bytes = *read.Bytes;
            r.Size = static_cast<std::int64_t>(bytes.size());
            const QByteArray digest = QCryptographicHash::hash(
                QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), QCryptographicHash::Sha256);
            r.Sha256 = digest.toHex().toStdString();
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

std::string ManifestJson(const BatchOptions &options, const RunPlan &plan, const RunRecord &record,
                         const std::vector<InputFileRecord> &inputs, const Simul &simul, const ManifestFacts &facts) {
    QJsonObject m;
    m["program"] = "glebix-batch";
    m["version"] = Text(VersionNumber());
    m["run"] = plan.Run;
    m["replicates"] = options.Replicates;
    m["seed"] = static_cast<qint64>(plan.Seed);
    m["master_seed"] = static_cast<qint64>(facts.MasterSeed);
    m["seed_source"] = facts.SeedFromClock ? "clock" : "option";
    m["step_count"] = record.StepCount;
    m["steps_reached"] = record.StepsReached;
    m["status"] = record.Completed ? "completed" : "error";
    m["message"] = record.Completed ? QJsonValue() : Text(record.Message);
    m["started_utc"] = Text(facts.Started);
    m["elapsed_seconds"] = record.Seconds;
    m["settings"] = SettingsObject(simul.Settings);
    m["inputs"] = InputsArray(inputs);
    m["outputs"] = OutputsObject(plan, simul);
    QJsonArray command;
    for (const std::string &argument : options.Arguments) command.append(Text(argument));
    m["command"] = command;
    const QByteArray json = QJsonDocument(m).toJson(QJsonDocument::Indented);
    return std::string(json.constData(), static_cast<std::size_t>(json.size()));
}

}  // namespace glebix::batch
