// GDAL as the GIS code uses it: its drivers registered once, its own error printing
// kept quiet (every failure becomes a French message naming the file), and datasets
// closed when their owner goes.
#pragma once

#include <memory>
#include <mutex>

#include <cpl_error.h>
#include <gdal_priv.h>

namespace glebix::gis {

// Registers GDAL's drivers, once per process.
void EnsureGdal();

// Held around every use of the netCDF library, which is not thread-safe: by the
// NetCDF outputs and around GDAL's reading or writing of NetCDF files.
std::mutex &NetcdfMutex();

// GDAL prints nothing while one lives, on this thread.
class QuietGdal {
public:
    QuietGdal() { CPLPushErrorHandler(CPLQuietErrorHandler); }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal(const QuietGdal &) = delete;
    QuietGdal &operator=(const QuietGdal &) = delete;
};

struct GdalDatasetCloser {
    void operator()(GDALDataset *ds) const { GDALClose(ds); }
};
using GdalDataset = std::unique_ptr<GDALDataset, GdalDatasetCloser>;

}  // namespace glebix::gis
