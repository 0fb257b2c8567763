// Animated maps for slides: the picture's parts where the layout puts them at every
// cell size, in the map's colours and the palette; the options and their refusals;
// frames and picture size in the written file; the window style's bytes as they were;
// a run driven step by step (the bindings') animated by the same rule.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QImage>
#include <filesystem>
#include <gif_lib.h>
#include <set>

#include "BatchOptions.h"
#include "DensityMapImage.h"
#include "Errors.h"
#include "MapAnimation.h"
#include "PixelFont.h"
#include "RunAnimation.h"
#include "SlideMap.h"
#include "TestFiles.h"

namespace glebix::render {
namespace {

using namespace glebix::batch;
using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;

// Counts of every class, one a column, and one cell below zero.
TPlot ClassPlot() {
    TPlot plot{};
    constexpr std::int32_t counts[] = {0, 3, 8, 12, 18, 50, 300, 700, 5000};
    for (int i = 0; i < GridSide; ++i)
        for (int j = 0; j < GridSide; ++j) plot.Density[i][j] = counts[i % 9];
    plot.Density[GridSide - 1][GridSide - 1] = -4;
    return plot;
}

int RunProgram(const std::string &arguments) {
    const std::string command = std::string(GLEBIX_BATCH_PROGRAM) + " --quiet " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct ReadGif {
    explicit ReadGif(const std::string &path) : gif(DGifOpenFileName(path.c_str(), &error)) {
        if (gif && DGifSlurp(gif) != GIF_OK) ADD_FAILURE() << path;
    }
    ~ReadGif() {
        if (gif) DGifCloseFile(gif, &error);
    }
    int error = 0;
    GifFileType *gif;
};

TEST(SlideMap, EveryPartLiesWhereTheLayoutPutsItAtEveryCellSize) {
    const TPlot plot = ClassPlot();
    for (const int cell : {MinAnimationCellSize, 7, DefaultAnimationCellSize, MaxAnimationCellSize}) {
        SCOPED_TRACE(cell);
        const SlideLayout l = SlideLayoutFor(cell, GridSide, GridSide);
        const QImage picture = SlideMapOf(plot, 120, cell);
        ASSERT_EQ(picture.size(), QSize(l.Width, l.Height));
        EXPECT_EQ(l.MapWidth, GridSide * cell);
        // Cell (i, j): column i from the left, row j from the bottom, wholly its colour.
        for (const auto &[i, j] : {std::pair{1, 1}, {5, 50}, {9, 17}, {50, 50}, {50, 1}}) {
            const int left = l.MapLeft + (i - 1) * cell, top = l.MapTop + (GridSide - j) * cell;
            const QRgb colour = ToQRgb(DensityColour(plot.Density[i - 1][j - 1]));
            EXPECT_EQ(picture.pixel(left, top), colour) << i << "," << j;
            EXPECT_EQ(picture.pixel(left + cell - 1, top + cell - 1), colour) << i << "," << j;
        }
        EXPECT_EQ(picture.pixel(l.MapLeft - 1, l.MapTop - 1), qRgb(0, 0, 0));  // the map's frame
        // The legend: a swatch of each class in its colour, a label in ink beside it.
        for (int c = 0; c < 9; ++c) {
            const int top = l.LegendTop + (c + 1) * l.RowPitch;
            EXPECT_EQ(picture.pixel(l.LegendLeft + l.SwatchSide / 2, top + l.SwatchSide / 2),
                      ToQRgb(DensityColour(ClassPlot().Density[c][0])))
                << c;
            int ink = 0;
            for (int y = top; y < top + l.SwatchSide; ++y)
                for (int x = l.LegendLeft + l.SwatchSide + 1; x < l.Width; ++x)
                    ink += picture.pixel(x, y) == qRgb(0, 0, 0);
            EXPECT_GT(ink, 0) << c;
        }
        // The step label, above the map, tells one step from another.
        const QImage other = SlideMapOf(plot, 5, cell);
        EXPECT_NE(picture.copy(0, 0, l.Width, l.MapTop - 1), other.copy(0, 0, l.Width, l.MapTop - 1));
        EXPECT_EQ(picture.copy(0, l.MapTop, l.Width, l.Height - l.MapTop),
                  other.copy(0, l.MapTop, l.Width, l.Height - l.MapTop));
    }
}

// Every pixel of the map, on a plot neither square nor 50 x 50, is its cell's colour.
TEST(SlideMap, EveryPixelOfTheMapIsItsCellsColour) {
    TPlot plot(37, 23);
    for (int c = 0; c < plot.Cells(); ++c) plot.Density.Data()[c] = (c * 7919) % 1500 - 3;
    for (const int cell : {1, MinAnimationCellSize, 7}) {
        const SlideLayout l = SlideLayoutFor(cell, plot.Width, plot.Height);
        const QImage picture = SlideMapOf(plot, 3, cell);
        int wrong = 0;
        for (int y = 0; y < l.MapHeight; ++y)
            for (int x = 0; x < l.MapWidth; ++x) {
                const int i = x / cell + 1, j = plot.Height - y / cell;
                wrong +=
                    picture.pixel(l.MapLeft + x, l.MapTop + y) != ToQRgb(DensityColour(plot.Density[i - 1][j - 1]));
            }
        EXPECT_EQ(wrong, 0) << cell << " pixels a cell";
        EXPECT_EQ(picture.pixel(l.MapLeft + l.MapWidth, l.MapTop + l.MapHeight), qRgb(0, 0, 0));  // the frame
    }
}

TEST(SlideMap, EveryColourIsInThePaletteAndEveryLabelInTheFont) {
    const std::vector<Rgb> palette = SlidePalette();
    std::set<QRgb> allowed;
    for (const Rgb &c : palette) allowed.insert(ToQRgb(c));
    EXPECT_EQ(allowed.size(), palette.size());
    const QImage picture = SlideMapOf(ClassPlot(), -12, 5);
    std::set<QRgb> used;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) used.insert(picture.pixel(x, y));
    EXPECT_EQ(used, allowed);  // the negative count's fuchsia included
    EXPECT_TRUE(HasGlyphs(StepLabel(-2147483647)));
    EXPECT_TRUE(HasGlyphs(LegendTitle()));
    const std::vector<std::string> labels = DensityClassLabels();
    EXPECT_EQ(labels, (std::vector<std::string>{"0", "1-5", "6-10", "11-15", "16-20", "21-100", "101-500", "501-1000",
                                                "> 1000"}));
    for (const std::string &label : labels) EXPECT_TRUE(HasGlyphs(label)) << label;
}

TEST(AnimationOptions, StyleCellSizeAndRateAreCheckedWithTheirNames) {
    const struct {
        std::vector<std::string> args;
        std::string problem;  // empty: accepted
    } cases[] = {
        {{"--animate-style", "map", "--animate-cell-size", "2"}, ""},
        {{"--animate-style=window"}, ""},
        {{"--animate-style", "carte"}, "--animate-style : «carte» n'est pas un style d'animation (window ou map)"},
        {{"--animate-style", "map", "--animate-cell-size", "41"},
         "--animate-cell-size : «41» hors de 2 à 40 pixels par case"},
        {{"--animate-style", "map", "--animate-cell-size", "1"},
         "--animate-cell-size : «1» hors de 2 à 40 pixels par case"},
        {{"--animate-cell-size", "8"}, "--animate-cell-size ne vaut que pour le style map (--animate-style map)"},
        {{"--fps", "101"}, "--fps : au plus 100 images par seconde"},
        // A text that is no whole number is told the range the option takes.
        {{"--animate-style", "map", "--animate-cell-size", "2.5"},
         "--animate-cell-size : «2.5» n'est pas un nombre entier de 2 à 40"},
        {{"--fps", "2,5"}, "--fps : «2,5» n'est pas un nombre entier de 1 à 100"},
    };
    for (const auto &c : cases) {
        const ParsedCommandLine parsed = ParseCommandLine(c.args);
        if (c.problem.empty()) {
            EXPECT_TRUE(parsed.Problems.empty()) << c.args.front() << ": " << parsed.Problems.front();
        } else {
            ASSERT_EQ(parsed.Problems.size(), 1u) << c.problem;
            EXPECT_EQ(parsed.Problems.front(), c.problem);
        }
    }
    const AnimationLook look = AnimationLookOf(ParseCommandLine({"--animate-style", "map"}).Options);
    EXPECT_EQ(look.CellSize, std::nullopt);
    EXPECT_EQ(MapStyleCellSize(look, GridSide, GridSide), DefaultAnimationCellSize);
    // The bindings' arguments, with the same messages under their own names.
    const auto refused = [](auto look) { return std::get<std::string>(look); };
    EXPECT_EQ(refused(LookFromArguments("map", 50, 10)), "cell_size : «50» hors de 2 à 40 pixels par case");
    EXPECT_EQ(refused(LookFromArguments("window", 5, 10)), "cell_size ne vaut que pour le style map (style \"map\")");
    EXPECT_EQ(refused(LookFromArguments("map", std::nullopt, 0)),
              "fps : «0» n'est pas un nombre entier supérieur ou égal à 1");
    EXPECT_EQ(std::get<AnimationLook>(LookFromArguments("map", 3, 7)).CellSize, 3);
}

// The pictures of 50 x 50 plots, torus or bounded, byte for byte: a change to them
// shows here.
TEST(AnimationFile, PicturesOfTheSpecifiedPlotKeepTheirBytes) {
    const struct {
        std::string arguments, file, sha256;
    } cases[] = {
        {"--seed 3 --steps 4 --every 1 --set DistInitMode=1 --animate a.gif", "a.gif",
         "b0d201f04e23d4ad6acd9a800dfdcd468040b1ab96b8f2b1da8737bfd1821f05"},
        {"--seed 4 --steps 6 --every 3 --set Edges=bounded --set DistInitMode=2 --animate-style map "
         "--animate-cell-size 5 --fps 7 --animate a.gif",
         "a.gif", "194336815909d4fc348db9041b5757e59dc21c29adfdb1f75a0d2d21ef05e280"},
        {"--seed 4 --steps 6 --every 3 --set DistInitMode=2 --animate-style map --animate a.gif", "a.gif",
         "86f0e8fc12efbaabe6222b6012acd6234430cb44f7f2e1eed58077d08d159dbc"},
        {"--seed 6 --steps 4 --every 2 --set Edges=bounded --snapshots maps", "maps/map-00004.png",
         "b4906f9b8e175650059d0d664bf51affb47034a8e05b0b7e9c3950ab5e06de58"},
    };
    for (const auto &c : cases) {
        ScratchDir dir;
        const std::string command = "cd " + dir.Path() + " && " + GLEBIX_BATCH_PROGRAM + " --quiet " + c.arguments;
        ASSERT_EQ(std::system(command.c_str()), 0) << c.arguments;
        const std::string bytes = ReadAll(dir / c.file);
        EXPECT_EQ(QCryptographicHash::hash(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                           QCryptographicHash::Sha256)
                      .toHex()
                      .toStdString(),
                  c.sha256)
            << c.arguments;
    }
}

TEST(AnimationFile, MapStyleFramesHaveTheLayoutsSizeAndTheRunsCount) {
    ScratchDir dir;
    ASSERT_EQ(RunProgram("--seed 9 --steps 12 --every 5 --animate-style map --animate-cell-size 6 --animate " +
                         (dir / "m.gif") + " --out " + (dir / "o")),
              0);
    const ReadGif read(dir / "m.gif");
    ASSERT_NE(read.gif, nullptr);
    EXPECT_EQ(read.gif->ImageCount, 4);  // steps 0, 5, 10, 12
    EXPECT_EQ(read.gif->SWidth, SlideLayoutFor(6, GridSide, GridSide).Width);
    EXPECT_EQ(read.gif->SHeight, SlideLayoutFor(6, GridSide, GridSide).Height);
    const std::string manifest = ReadAll(dir / "o/manifest.json");
    EXPECT_NE(manifest.find("\"animation_style\": \"map\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("\"animation_cell_size\": 6"), std::string::npos) << manifest;
}

// A run stepped by hand, as the bindings step one: a frame at the start, every K steps
// and the last, where the file is put in place; its folder is made, and a place that
// is no plain file refused. (The bindings' tests compare its bytes with the batch
// tool's for the same run.)
TEST(RunAnimation, FramesAtTheStartEveryKStepsAndTheLast) {
    ScratchDir dir;
    RunAnimation animation;
    animation.Ask(dir / "new/sub/r.gif", 3, {AnimationStyle::Map, 3, DefaultFramesPerSecond});
    TPlot plot = ClassPlot();
    animation.Start(plot, 0, 7);
    for (std::int32_t step = 1; step <= 7; ++step) {
        plot.Density[step][step] = step * 100;
        animation.AfterStep(plot, step, 7);
    }
    EXPECT_EQ(animation.End(), "");  // put in place at the last step already
    const ReadGif read(dir / "new/sub/r.gif");
    ASSERT_NE(read.gif, nullptr);
    EXPECT_EQ(read.gif->ImageCount, 4);

    std::filesystem::create_directory(dir / "taken.gif");
    EXPECT_THROW(animation.Ask(dir / "taken.gif", 1, {}), GlebixError);
    // Ended early, it keeps the frames so far.
    animation.Ask(dir / "early.gif", 1, {});
    animation.Start(plot, 0, 100);
    animation.AfterStep(plot, 1, 100);
    EXPECT_EQ(animation.End(), dir / "early.gif");
    EXPECT_EQ(ReadGif(dir / "early.gif").gif->ImageCount, 2);
}

}  // namespace
}  // namespace glebix::render
