// A run's input files as the runs read them, and their records: which files a run's
// settings make it read, how each is read (a grid input as its grid text, so that a
// raster and the text grid of the same values are one input), and the size and digests
// that the manifest states and --repeat checks again. Every front end reads, lists and
// checksums its inputs here, so that a record made by one is checked alike by another.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "InputFile.h"
#include "Settings.h"

namespace glebix::core {

// The roles of the schedule and of its masks among a run's inputs (the manifest's).
inline constexpr const char *EventsRole = "events";
inline constexpr const char *EventMaskRole = "event_mask";

// Whether an input of `role` is read as a grid, a raster's as its grid text: the
// initial files and the masks.
bool IsGridInput(std::string_view role);

// An input file that a run reads, kept for the manifest.
struct InputFile {
    std::string Role;  // "params", "species", "design", "factors", "environment" or "distribution"
    std::string Path;  // as given
};

// An input file as the runs use it.
struct InputFileRecord {
    std::string Role;    // "species", "params", "environment" or "distribution"
    std::string Path;    // as given
    std::int64_t Size;   // bytes; -1 when the file could not be read
    std::string Sha256;  // hexadecimal digest; empty when the file could not be read
    // Of an initial file, the digest of its georeference beyond its values (GDAL's
    // checksum and the grid read leave out its CRS): GeoreferenceDigest. Empty otherwise.
    std::string GeoreferenceSha256 = {};

    bool operator==(const InputFileRecord &) const = default;
};

// The digest of what places the initial file at `path` beyond its values: the SHA-256
// of its CRS as WKT (of the empty text for none), its placement being among the grid's
// values.
std::string GeoreferenceDigest(const std::string &path);

// The record of an input from its bytes.
InputFileRecord InputRecordOf(const std::string &role, const std::string &path, std::string_view bytes);

// `input` read into `store` once, as the runs read it.
const ReadInput &ReadRunInput(InputBytes &store, const InputFile &input);
// The record of `input` as ReadRunInput reads it (Size -1 when it cannot be read).
InputFileRecord RecordRunInput(InputBytes &store, const InputFile &input);

// The files `settings` make a run read, each read into `store`: the initial files its
// modes read, then the schedule of events and its masks.
std::vector<InputFile> SettingsInputs(const TSettings &settings, InputBytes &store);

// How an input read again (into `store`) differs from its record.
enum class InputChange {
    None,
    Unread,        // it cannot be read now
    UnreadBefore,  // it could not be read when recorded
    Values,        // its values differ
    Georeference,  // its values are the same, its CRS is not
};
InputChange CompareWithRecord(InputBytes &store, const InputFileRecord &recorded);

}  // namespace glebix::core
