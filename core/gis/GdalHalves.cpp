// The halves of RasterInput.cpp and Georeference.cpp that need GDAL, for the GIS
// module (GisModule.h); the core compiles the other halves from the same files.
#define GLEBIX_GDAL_HALF
#include "Georeference.cpp"
#include "RasterInput.cpp"
