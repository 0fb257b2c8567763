// A run's grids over time as one CF-1.8 NetCDF file (--netcdf), written as the run
// goes so that memory stays the same however many steps it records. Dimensions time,
// y and x, stored in NetCDF-4's classic model, one chunk per record, deflated at a
// level the caller chooses; variables density, compacted and decompacted (time, y, x); x and y the cell
// centres of the run's georeference (Georeference.h), y from north to south; time the
// step number; the mask "named" (1 where the environment file named the cell, or the
// distribution file without one; GridLayers.h) and, when both files are read,
// "named_distribution" (the distribution file's); the CRS as
// the grid mapping "crs" when the run has one; the settings and the seed as global
// attributes. The file is written under "<path>.part"; Finish leaves it complete and
// synced there, for the caller to put in place with the run's other outputs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "GridLayers.h"
#include "Plot.h"

namespace glebix {
class Simul;
}

namespace glebix::gis {

struct Georeference;

// The deflate level of a stack unless the user chooses: most of the gain of the
// highest, at a small share of its time.
inline constexpr int DefaultDeflateLevel = 4;
inline constexpr int MaxDeflateLevel = 9;

class NetcdfStack {
public:
    NetcdfStack() = default;
    ~NetcdfStack();  // an unfinished file is removed
    NetcdfStack(const NetcdfStack &) = delete;
    NetcdfStack &operator=(const NetcdfStack &) = delete;

    // Creates "<path>.part" with everything but the records, for the run `simul`
    // holds (set up or put back) started with `seed`, its grids lying `where` the
    // run's description places them, its layers deflated at `deflateLevel` (0: stored
    // as they are). Raises core::OutputError.
    void Open(const std::string &path, const Simul &simul, const Georeference &where, std::uint32_t seed,
              int deflateLevel);
    // Appends the plot as it is after `step`.
    void Record(std::int32_t step, const TPlot &plot);
    // Closes and syncs the part file.
    void Finish();
    // Closes and removes the part file.
    void Abandon();

    bool IsOpen() const { return nc_ >= 0; }
    std::size_t RecordCount() const { return records_; }
    const std::string &Path() const { return path_; }

private:
    void Check(int status) const;
    void Define(const Simul &simul, std::uint32_t seed, const Georeference &where, const NamedCells &named);
    std::pair<int, int> DefineAxes(const Georeference &where, int (&dims)[3]);
    void DefineLayers(const int (&gridDims)[3], const Georeference &where, bool crs, bool masked);
    int DefineMask(const char *name, const char *longName, const int (&gridDims)[3], bool crs);
    void DefineGlobals(const Simul &simul, std::uint32_t seed, const Georeference &where);

    int nc_ = -1;
    int time_ = -1, density_ = -1, compacted_ = -1, decompacted_ = -1;
    std::size_t records_ = 0;
    int deflateLevel_ = 0;
    std::string path_, part_;
};

// Writes the plot `simul` holds as a NetCDF file of one record (its step `step`).
void WriteNetcdfNow(const std::string &path, const Simul &simul, const Georeference &where, std::uint32_t seed,
                    std::int32_t step, int deflateLevel);

}  // namespace glebix::gis
