// The figure of an indices file: a PNG that opens, of the size its layout gives, with
// a bar of each index's colour, and lines over time for indices at every step.
#include <gtest/gtest.h>

#include <QImage>
#include <set>
#include <string>

#include "IndicesFigure.h"
#include "PixelFont.h"

using namespace glebix::render;

namespace {

std::string Indices(int steps) {
    std::string csv = "metric,step,factor,index,estimate,low,high\n";
    for (int step = 1; step <= steps; ++step)
        for (const char *factor : {"Survival", "Fecundity", "DispersalSigma"})
            for (const char *index : {"mu", "mu_star", "sigma"})
                csv += std::string("total_density,") + std::to_string(step * 10) + "," + factor + "," + index +
                       ",0.5,0.25,0.75\n";
    return csv + "total_density,10,,noise_share,0.1,0,0.2\n";
}

QImage Decoded(const std::string &png) {
    QImage image;
    EXPECT_TRUE(image.loadFromData(reinterpret_cast<const uchar *>(png.data()), static_cast<int>(png.size()), "PNG"));
    return image.convertToFormat(QImage::Format_RGB32);
}

std::set<QRgb> Colours(const QImage &image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    return colours;
}

}  // namespace

TEST(IndicesFigure, BarsOpenAtTheirSizeWithAColourPerIndex) {
    const std::string csv = Indices(1);
    const QImage image = Decoded(IndicesFigurePng(csv));
    EXPECT_EQ(image.width(), FigureWidth);
    // The legend, then one panel: a title and three factors of three bars each.
    EXPECT_EQ(image.height(), IndicesFigureHeight(csv));
    EXPECT_EQ(IndicesFigureHeight(csv), 10 + 20 + 20 + 3 * (3 * (8 + 3) + 8) + 10);
    const std::set<QRgb> colours = Colours(image);
    for (QRgb index : {0xFF1F77B4u, 0xFFFF7F0Eu, 0xFF2CA02Cu}) EXPECT_TRUE(colours.count(index)) << std::hex << index;
}

TEST(IndicesFigure, EveryStepGivesAPanelPerIndex) {
    const std::string csv = Indices(4);
    const QImage image = Decoded(IndicesFigurePng(csv));
    EXPECT_EQ(image.width(), FigureWidth);
    EXPECT_EQ(image.height(), 10 + 20 + 3 * (20 + 160 + 10));
    // The same text gives the same picture.
    EXPECT_EQ(IndicesFigurePng(csv), IndicesFigurePng(csv));
}

// Labels keep the case they are written in: two factors' names differing only in case
// paint differently, and every character of a setting's or metric's name has a glyph.
TEST(IndicesFigure, LabelsShowNamesAsWritten) {
    const auto figure = [](const std::string &factor) {
        const std::string csv = "metric,step,factor,index,estimate,low,high\ny,," + factor + ",PRCC,0.5,0.25,0.75\n";
        return Decoded(IndicesFigurePng(csv));
    };
    EXPECT_NE(figure("DistMean"), figure("distmean"));
    EXPECT_EQ(figure("DistMean"), figure("DistMean"));
    EXPECT_TRUE(HasGlyphs("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_@:.-+*,()/ "));
}
