// The calibration's figure: a PNG that opens at the size its layout gives, which grows
// by a panel per observed metric and per pair of factors, whose histogram bars stand
// where the accepted values lie, and which the same data paints the same.
#include <gtest/gtest.h>

#include <QImage>
#include <string>

#include "CalibrationFigure.h"

using namespace glebix::render;

namespace {

constexpr QRgb BarColour = 0xFF1F77B4, InkColour = 0xFF000000;

CalibrationFigureData Data(std::size_t factors, std::size_t metrics) {
    CalibrationFigureData d;
    for (std::size_t f = 0; f < factors; ++f)
        d.Factors.push_back({"Factor" + std::to_string(f), 0, 1, {0.9, 0.92, 0.95, 0.91}});
    d.Weights = {1, 1, 1, 1};
    for (std::size_t m = 0; m < metrics; ++m)
        d.Predictive.push_back({"metric" + std::to_string(m), {5, 10, 20}, {2, 6, 9}, {1, 4, 7}, {3, 8, 12}});
    d.MarginalTitle = "densité a posteriori";
    d.PairsTitle = "points acceptés";
    d.PredictiveTitle = "observé";
    return d;
}

QImage Decoded(const std::string &png) {
    QImage image;
    EXPECT_TRUE(image.loadFromData(reinterpret_cast<const uchar *>(png.data()), static_cast<int>(png.size()), "PNG"));
    return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TEST(CalibrationFigure, OpensAtItsSizeAndGrowsByPanel) {
    const CalibrationFigureData one = Data(1, 1), more = Data(2, 3);
    const QImage image = Decoded(CalibrationFigurePng(one));
    EXPECT_EQ(image.width(), CalibrationFigureWidth);
    EXPECT_EQ(image.height(), CalibrationFigureHeight(one));
    EXPECT_GT(CalibrationFigureHeight(more), CalibrationFigureHeight(one) + 2 * 100);  // a pair and two metrics
    EXPECT_EQ(Decoded(CalibrationFigurePng(more)).height(), CalibrationFigureHeight(more));
    EXPECT_EQ(CalibrationFigurePng(more), CalibrationFigurePng(more));
}

TEST(CalibrationFigure, HistogramBarsStandWhereTheAcceptedValuesLie) {
    const QImage image = Decoded(CalibrationFigurePng(Data(1, 0)));
    // Every accepted value is above 0.9 of a prior [0, 1]: bars in the last tenth only.
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == BarColour) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, 0);
    EXPECT_GT(right - left, 0);
    // The histogram is 250 pixels wide from x = 10; 0.9 of it is at 235.
    EXPECT_GE(left, 10 + 9 * 250 / 10);
    // The title, painted in the built-in font in the glyphs' rows below the top margin.
    bool ink = false;
    for (int y = 15; y < 22; ++y)
        for (int x = 0; x < image.width() && !ink; ++x) ink = image.pixel(x, y) == InkColour;
    EXPECT_TRUE(ink);
}
