// The final grids of a run as GeoTIFF files (--tif): density.tif (32-bit whole
// numbers), compacted.tif and decompacted.tif (64-bit reals, NoData NaN in the cells
// the environment file left unnamed), compressed, with the georeference and CRS of the
// run's initial grid (Georeference.h). Also the ".prj"
// files that give the ESRI ASCII grids of --asc that CRS.
#pragma once

#include <string>
#include <vector>

namespace glebix {
class Simul;
}

namespace glebix::batch {
class StagedFiles;
}

namespace glebix::gis {

inline constexpr const char *DensityTifName = "density.tif";
inline constexpr const char *CompactedTifName = "compacted.tif";
inline constexpr const char *DecompactedTifName = "decompacted.tif";
inline constexpr const char *TifGridNames[] = {DensityTifName, CompactedTifName, DecompactedTifName};

// Stages the three GeoTIFF files of the run's present plot in `folder`.
void StageTifGrids(const Simul &simul, const std::string &folder, batch::StagedFiles &files);
// The same, put in place at once; returns the files' paths.
std::vector<std::string> WriteTifGrids(const Simul &simul, const std::string &folder);

// Stages a ".prj" beside each of `grids` (the ESRI ASCII grids' paths) when the run's
// initial grid has a CRS; nothing otherwise.
void StagePrjFiles(const Simul &simul, const std::vector<std::string> &grids, batch::StagedFiles &files);

}  // namespace glebix::gis
