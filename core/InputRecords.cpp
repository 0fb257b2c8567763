#include "InputRecords.h"

#include "EventInputs.h"
#include "Georeference.h"
#include "InitialSources.h"
#include "RasterInput.h"
#include "Sha256.h"

namespace glebix::core {

namespace {

// An initial file's record holds its georeference's digest too; a mask lies on the plot
// the initial files placed.
bool PlacesThePlot(std::string_view role) { return !InitialPathSetting(role).empty(); }

}  // namespace

bool IsGridInput(std::string_view role) { return PlacesThePlot(role) || role == EventMaskRole; }

std::string GeoreferenceDigest(const std::string &path) { return Sha256Hex(gis::FileCrs(path)); }

InputFileRecord InputRecordOf(const std::string &role, const std::string &path, std::string_view bytes) {
    return {role, path, static_cast<std::int64_t>(bytes.size()), Sha256Hex(bytes)};
}

const ReadInput &ReadRunInput(InputBytes &store, const InputFile &input) {
    return IsGridInput(input.Role) ? gis::ReadInitialInputOnce(store, input.Path) : ReadInputOnce(store, input.Path);
}

InputFileRecord RecordRunInput(InputBytes &store, const InputFile &input) {
    const ReadInput &read = ReadRunInput(store, input);
    if (!read.Bytes) return {input.Role, input.Path, -1, {}, {}};
    InputFileRecord record = InputRecordOf(input.Role, input.Path, *read.Bytes);
    if (PlacesThePlot(input.Role)) record.GeoreferenceSha256 = GeoreferenceDigest(input.Path);
    return record;
}

std::vector<InputFile> SettingsInputs(const TSettings &settings, InputBytes &store) {
    std::vector<InputFile> inputs;
    for (const InitialSource &source : ReadInitialSources(settings.Initial))
        inputs.push_back({std::string(source.role), source.path});
    for (const InputFile &input : inputs) ReadRunInput(store, input);
    for (InputFile &input : EventInputFiles(settings, store)) inputs.push_back(std::move(input));
    return inputs;
}

InputChange CompareWithRecord(InputBytes &store, const InputFileRecord &recorded) {
    const InputFile input{recorded.Role, recorded.Path};
    const ReadInput &read = ReadRunInput(store, input);
    if (!read.Bytes) return InputChange::Unread;
    if (recorded.Sha256.empty()) return InputChange::UnreadBefore;
    if (Sha256Hex(*read.Bytes) != recorded.Sha256) return InputChange::Values;
    // A record from before the georeference was recorded has its values only.
    if (PlacesThePlot(recorded.Role) && !recorded.GeoreferenceSha256.empty() &&
        GeoreferenceDigest(recorded.Path) != recorded.GeoreferenceSha256)
        return InputChange::Georeference;
    return InputChange::None;
}

}  // namespace glebix::core
