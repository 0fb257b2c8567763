// The final grids of a run as GeoTIFF files (--tif): density.tif (32-bit whole
// numbers), compacted.tif and decompacted.tif (64-bit reals, NoData NaN in the cells
// the environment file left unnamed), compressed, with the georeference and CRS of the
// run's initial grid (Georeference.h). Also the ".prj"
// files that give the ESRI ASCII grids of --asc that CRS.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glebix {
class Simul;
}

namespace glebix::core {
class StagedFiles;
}

namespace glebix::gis {

struct Georeference;

inline constexpr const char *DensityTifName = "density.tif";
inline constexpr const char *CompactedTifName = "compacted.tif";
inline constexpr const char *DecompactedTifName = "decompacted.tif";
inline constexpr const char *TifGridNames[] = {DensityTifName, CompactedTifName, DecompactedTifName};

// The step of the grids written at the run's end, under the names above.
inline constexpr std::int32_t FinalTifStep = -1;
// The digits of a step in the name of the grids of a recorded step (--tif-every): at
// least this many, zero-padded, so that the names sort by step.
inline constexpr std::size_t TifStepDigits = 6;

// The name of grid `name` at `step`: "density-000010.tif"; `name` itself at
// FinalTifStep.
inline std::string TifGridNameAt(std::string_view name, std::int32_t step) {
    if (step == FinalTifStep) return std::string(name);
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, step).ptr;
    const std::string number(digits, end);
    const std::string stem(name.substr(0, name.rfind('.')));
    const std::size_t pad = number.size() < TifStepDigits ? TifStepDigits - number.size() : 0;
    return stem + "-" + std::string(pad, '0') + number + std::string(name.substr(name.rfind('.')));
}

// Whether `name` is one of the grids of a recorded step: "<grid>-<digits>.tif".
inline bool IsSteppedTifName(std::string_view name) {
    for (std::string_view grid : TifGridNames) {
        const std::string_view stem = grid.substr(0, grid.rfind('.')), ext = grid.substr(grid.rfind('.'));
        if (name.size() < stem.size() + 1 + TifStepDigits + ext.size() || !name.starts_with(stem) ||
            name[stem.size()] != '-' || !name.ends_with(ext))
            continue;
        const std::string_view digits = name.substr(stem.size() + 1, name.size() - stem.size() - 1 - ext.size());
        if (digits.find_first_not_of("0123456789") == std::string_view::npos) return true;
    }
    return false;
}

// Stages the three GeoTIFF files of the run's present plot in `folder`, under the
// names of `step` (TifGridNameAt), lying `where` the run's description places them.
void StageTifGrids(const Simul &simul, const Georeference &where, const std::string &folder, core::StagedFiles &files,
                   std::int32_t step = FinalTifStep);
// The same, put in place at once; returns the files' paths.
std::vector<std::string> WriteTifGrids(const Simul &simul, const Georeference &where, const std::string &folder);

// Stages a ".prj" beside each of `grids` (the ESRI ASCII grids' paths) when `where`
// has a CRS; nothing otherwise.
void StagePrjFiles(const Georeference &where, const std::vector<std::string> &grids, core::StagedFiles &files);

}  // namespace glebix::gis
