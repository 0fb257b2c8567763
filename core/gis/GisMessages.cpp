#include "GisMessages.h"

#include "Conversions.h"
#include "Messages.h"

namespace glebix::gis {

namespace {

std::string List(const std::vector<std::string> &names) {
    std::string out;
    for (const std::string &name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

}  // namespace

using core::Message;

std::string MsgRasterUnreadable(const std::string &path) { return Message("gis.raster_unreadable", {path}); }

std::string MsgTooManyBands(const std::string &path, int bands) {
    return Message("gis.too_many_bands", {path, std::to_string(bands)});
}

std::string MsgNoSuchBand(const std::string &path, int band, int bands) {
    return Message("gis.no_such_band", {path, std::to_string(band), std::to_string(bands)});
}

std::string MsgRotatedRaster(const std::string &path) { return Message("gis.rotated", {path}); }

std::string MsgNonSquareCells(const std::string &path, double width, double height) {
    return Message("gis.non_square", {path, FormatShortest(width), FormatShortest(height)});
}

std::string MsgBottomUpRaster(const std::string &path) { return Message("gis.bottom_up", {path}); }

std::string MsgNoCoordinates(const std::string &path, const std::string &variable, const std::string &yName,
                             const std::string &xName) {
    return Message("gis.no_coordinates", {path, variable, yName, xName});
}

std::string MsgVirtualSource(const std::string &path, const std::string &source) {
    return Message("gis.virtual_source", {path, source});
}

std::string MsgRasterSize(const std::string &path, long long columns, long long rows, int side) {
    return Message("gis.size", {path, std::to_string(columns), std::to_string(rows), std::to_string(side)});
}

std::string MsgNoSuchVariable(const std::string &path, const std::string &variable) {
    return Message("gis.no_such_variable", {path, variable});
}

std::string MsgVariableNot2D(const std::string &path, const std::string &variable,
                             const std::vector<std::string> &dimensions) {
    return Message("gis.variable_not_2d", {variable, path, std::to_string(dimensions.size()), List(dimensions)});
}

std::string MsgChooseVariable(const std::string &path, const std::vector<std::string> &variables) {
    return Message("gis.choose_variable",
                   {path, List(variables), variables.empty() ? std::string("variable") : variables.front()});
}

std::string MsgRasterNotWritten(const std::string &path) { return Message("gis.raster_not_written", {path}); }

std::string MsgNetcdfNotWritten(const std::string &path, const std::string &cause) {
    return Message("gis.netcdf_not_written", {path, cause});
}

std::string MsgNotRecording() { return Message("gis.not_recording"); }

}  // namespace glebix::gis
