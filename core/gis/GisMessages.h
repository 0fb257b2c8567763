// The messages of the raster inputs and of the GIS outputs, in the user's language
// (Messages.h). Every one about a file names it.
#pragma once

#include <string>
#include <vector>

namespace glebix::gis {

std::string MsgRasterUnreadable(const std::string &path);
std::string MsgTooManyBands(const std::string &path, int bands);
std::string MsgNoSuchBand(const std::string &path, int band, int bands);
std::string MsgRotatedRaster(const std::string &path);
std::string MsgNonSquareCells(const std::string &path, double width, double height);
std::string MsgBottomUpRaster(const std::string &path);
std::string MsgNoCoordinates(const std::string &path, const std::string &variable, const std::string &yName,
                             const std::string &xName);
std::string MsgVirtualSource(const std::string &path, const std::string &source);
std::string MsgRasterSize(const std::string &path, long long columns, long long rows, int side);
std::string MsgNoSuchVariable(const std::string &path, const std::string &variable);
std::string MsgVariableNot2D(const std::string &path, const std::string &variable,
                             const std::vector<std::string> &dimensions);
std::string MsgChooseVariable(const std::string &path, const std::vector<std::string> &variables);
std::string MsgRasterNotWritten(const std::string &path);
std::string MsgNetcdfNotWritten(const std::string &path, const std::string &cause);
// A time stack asked for before one was begun.
std::string MsgNotRecording();

}  // namespace glebix::gis
