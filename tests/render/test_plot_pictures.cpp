// Pictures of plots of any size: the picture's size for odd shapes in both looks,
// worked out by hand from the window's margins and the slide's layout; the far
// corner cell where it belongs, in its colour, through the PNG and GIF bytes; a map
// style too large for a picture refused before anything is written.
#include <gtest/gtest.h>

#include <QImage>
#include <gif_lib.h>
#include <memory>
#include <optional>

#include "Errors.h"
#include "MapAnimation.h"
#include "MapPicture.h"
#include "SlideMap.h"
#include "TestFiles.h"

namespace glebix::render {
namespace {

using glebix::testing::ScratchDir;

QRgb ColourOf(std::int32_t n) {
    const Rgb c = DensityColour(n);
    return qRgb(c.r, c.g, c.b);
}

AnimationLook Look(AnimationStyle style, std::optional<int> cellSize = std::nullopt) {
    AnimationLook look;
    look.Style = style;
    look.CellSize = cellSize;
    return look;
}

struct ShapeCase {
    int width, height;
    int windowCell, windowWidth, windowHeight;
    int mapCell, mapWidth, mapHeight;  // the map style without a cell size asked for
};

TEST(PlotPictures, SizesFollowThePlotInBothLooks) {
    // Window: cells of 7 pixels up to 1000 pixels of map, margins of 30 + 154 across
    // and 104 + 60 down, never smaller than 534 x 514. Map style: 10 pixels up to
    // 1000 pixels of map; at 10, 252 + 10 W across and the legend's 273 + 12 down at
    // least; at 3 and 1, the legend 107 wide with margins of 6.
    const ShapeCase cases[] = {
        {50, 50, 7, 534, 514, 10, 752, 552},        {1, 1, 7, 534, 514, 10, 262, 285},
        {1, 97, 7, 534, 843, 10, 262, 1022},        {97, 1, 7, 863, 514, 10, 1222, 285},
        {50, 51, 7, 534, 521, 10, 752, 562},        {333, 211, 3, 1183, 797, 3, 1126, 660},
        {4000, 4000, 1, 4184, 4164, 1, 4127, 4027},
    };
    for (const ShapeCase &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const WindowPicture window = WindowPictureFor(c.width, c.height);
        EXPECT_EQ(window.CellSide, c.windowCell);
        EXPECT_EQ(window.Width, c.windowWidth);
        EXPECT_EQ(window.Height, c.windowHeight);
        const int cell = MapStyleCellSize(Look(AnimationStyle::Map), c.width, c.height);
        EXPECT_EQ(cell, c.mapCell);
        const SlideLayout slide = SlideLayoutFor(cell, c.width, c.height);
        EXPECT_EQ(slide.Width, c.mapWidth);
        EXPECT_EQ(slide.Height, c.mapHeight);
    }
    // A cell size asked for is kept however large the plot, within the picture's bound.
    EXPECT_EQ(MapStyleCellSize(Look(AnimationStyle::Map, 4), 1000, 700), 4);
}

// A plot whose corner cells each have a count of another class.
std::unique_ptr<TPlot> CornerPlot(int width, int height) {
    auto plot = std::make_unique<TPlot>(width, height);
    for (int i = 0; i < width; ++i)
        for (int j = 0; j < height; ++j) plot->Density[i][j] = 0;
    plot->Density[width - 1][0] = 300;
    plot->Density[0][height - 1] = 50;
    plot->Density[0][0] = 12;  // on a plot one cell wide, (1, 1) and (W, H) still differ
    plot->Density[width - 1][height - 1] = 700;
    return plot;
}

struct CornerCase {
    int width, height;
    int left, top;  // of cell (W, H) in the window's picture, by hand
    int side;
    bool ringed;
};

TEST(PlotPictures, TheFarCornerOfASnapshotIsCellWH) {
    // 333 x 211: 3-pixel cells, filled whole, the map's top at 104 as in the window;
    // 97 x 31 and 1 x 97: 7-pixel cells ringed in black.
    const CornerCase cases[] = {{333, 211, 30 + 3 * 332, 797 - 60 - 3 * 211, 3, false},
                                {97, 31, 30 + 7 * 96, 514 - 60 - 7 * 31, 7, true},
                                {1, 97, 30, 843 - 60 - 7 * 97, 7, true}};
    for (const CornerCase &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const std::string png = DensityMapPng(*CornerPlot(c.width, c.height), 3);
        QImage image;
        ASSERT_TRUE(image.loadFromData(QByteArray(png.data(), static_cast<qsizetype>(png.size())), "PNG"));
        const QRgb edge = c.ringed ? qRgb(0, 0, 0) : ColourOf(700);
        EXPECT_EQ(image.pixel(c.left, c.top), edge);
        EXPECT_EQ(image.pixel(c.left + c.side - 1, c.top + c.side - 1), edge);
        EXPECT_EQ(image.pixel(c.left + c.side / 2, c.top + c.side / 2), ColourOf(700));
        const QRgb ground = qRgb(SnapshotBackground.r, SnapshotBackground.g, SnapshotBackground.b);
        EXPECT_EQ(image.pixel(c.left + c.side, c.top), ground);  // nothing right of the map
        EXPECT_EQ(image.pixel(c.left, c.top - 1), ground);       // nor above it
        // Cell (1, 1) at the bottom left, 60 pixels above the picture's bottom.
        EXPECT_EQ(image.pixel(30 + c.side / 2, image.height() - 60 - 1 - c.side / 2), ColourOf(12));
    }
}

// The colour a viewer shows at (x, y) after frame `k`: that of the last frame up to k
// that covers the pixel without leaving it transparent.
QRgb GifPixel(GifFileType *gif, int k, int x, int y) {
    for (int f = k; f >= 0; --f) {
        const SavedImage &frame = gif->SavedImages[f];
        const GifImageDesc &d = frame.ImageDesc;
        if (x < d.Left || x >= d.Left + d.Width || y < d.Top || y >= d.Top + d.Height) continue;
        GraphicsControlBlock control{};
        DGifSavedExtensionToGCB(gif, f, &control);
        const int index = frame.RasterBits[(y - d.Top) * d.Width + (x - d.Left)];
        if (index == control.TransparentColor) continue;
        const GifColorType c = gif->SColorMap->Colors[index];
        return qRgb(c.Red, c.Green, c.Blue);
    }
    return 0;
}

TEST(PlotPictures, TheFarCornerOfAnAnimationFrameIsCellWH) {
    const int width = 333, height = 211;
    const struct {
        AnimationLook look;
        int cornerX, cornerY;  // a pixel of cell (W, H), by hand
        int firstX, firstY;    // and of cell (1, 1)
    } cases[] = {{Look(AnimationStyle::Window), 30 + 3 * 332 + 1, 104 + 1, 31, 797 - 60 - 2},
                 {Look(AnimationStyle::Map), 7 + 3 * 332 + 1, 20 + 1, 8, 20 + 3 * 210 + 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(AnimationStyleName(c.look.Style));
        ScratchDir dir;
        auto plot = CornerPlot(width, height);
        {
            MapAnimation animation;
            animation.Open(dir / "a.gif", c.look, width, height);
            animation.AddFrame(*plot, 0);
            plot->Density[width - 1][height - 1] = 5;  // only the far corner changes
            animation.AddFrame(*plot, 1);
            animation.Finish();
        }
        int error = 0;
        GifFileType *gif = DGifOpenFileName((dir / "a.gif").c_str(), &error);
        ASSERT_NE(gif, nullptr);
        ASSERT_EQ(DGifSlurp(gif), GIF_OK);
        ASSERT_EQ(gif->ImageCount, 2);
        EXPECT_EQ(GifPixel(gif, 0, c.cornerX, c.cornerY), ColourOf(700));
        EXPECT_EQ(GifPixel(gif, 1, c.cornerX, c.cornerY), ColourOf(5));
        EXPECT_EQ(GifPixel(gif, 1, c.firstX, c.firstY), ColourOf(12));
        DGifCloseFile(gif, &error);
    }
}

TEST(PlotPictures, AMapStyleTooLargeForAPictureIsRefusedByItsOption) {
    ScratchDir dir;
    const TPlot plot(300, 20);
    MapAnimation animation;
    try {
        animation.Open(dir / "a.gif", Look(AnimationStyle::Map, 26), plot.Width, plot.Height);
        FAIL();
    } catch (const GlebixError &e) {
        EXPECT_EQ(std::string(e.what()),
                  "--animate-cell-size : à 26 pixels par case, la carte d'une parcelle de 300 × 20 cases ferait une "
                  "image de 8302 × 622 pixels, plus de 8192 de côté ; demandez moins de pixels par case, ou omettez "
                  "--animate-cell-size : la taille des cases suit alors celle de la parcelle");
    }
    EXPECT_TRUE(dir.Entries().empty());
    // The largest size that fits (25 + 300 x 25 + 1 + 24 + 428 + 24 = 8002) is kept.
    animation.Open(dir / "a.gif", Look(AnimationStyle::Map, 25), plot.Width, plot.Height);
    animation.AddFrame(plot, 0);
    animation.Finish();
    EXPECT_EQ(dir.Entries(), std::set<std::string>{"a.gif"});
    // The batch tool's run fails with the message and leaves no animation.
    const std::string command = std::string("cd ") + dir.Path() + " && " + GLEBIX_BATCH_PROGRAM +
                                " --quiet --steps 2 --set PlotWidth=300 --set PlotHeight=20 --animate-style map "
                                "--animate-cell-size 26 --animate b.gif 2>err.txt";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_NE(glebix::testing::ReadAll(dir / "err.txt").find("plus de 8192 de côté"), std::string::npos);
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"a.gif", "err.txt"}));
    // Without the option the cells fit the plot, and the manifest says the size drawn.
    const std::string fitted = std::string("cd ") + dir.Path() + " && " + GLEBIX_BATCH_PROGRAM +
                               " --quiet --steps 1 --set PlotWidth=300 --set PlotHeight=20 --animate-style map "
                               "--animate c.gif --out o";
    ASSERT_EQ(std::system(fitted.c_str()), 0);
    EXPECT_NE(glebix::testing::ReadAll(dir / "o/manifest.json").find("\"animation_cell_size\": 3,"), std::string::npos);
}

}  // namespace
}  // namespace glebix::render
