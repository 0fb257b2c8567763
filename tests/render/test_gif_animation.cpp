// Animated maps: the frames read back from the file as they were painted, in order and
// with their timing; an unfinished animation leaves the earlier file alone; the step
// field shows the step where the plot window shows it.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <gif_lib.h>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "Errors.h"
#include "GifAnimation.h"
#include "MapPicture.h"
#include "RunOutputs.h"
#include "TestFiles.h"
#include "BatchWarnings.h"

namespace glebix::render {
namespace {

using namespace glebix::batch;
using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;
using glebix::testing::WriteAll;

QImage Picture(std::int32_t step, std::int32_t count) {
    TPlot plot{};
    for (int i = 0; i < GridSide; ++i)
        for (int j = 0; j < GridSide; ++j) plot.Density[i][j] = (i + j) % 3 == 0 ? count : i * 20;
    QImage image = RenderDensityMap(plot);
    PaintStepField(image, step);
    return image;
}

// What a viewer shows at frame `k` of a read animation: each frame drawn over the
// ones before, its transparent pixels leaving them as they were.
QImage Shown(GifFileType *gif, int k) {
    QImage shown(gif->SWidth, gif->SHeight, QImage::Format_RGB32);
    for (int f = 0; f <= k; ++f) {
        const SavedImage &frame = gif->SavedImages[f];
        const GifImageDesc &d = frame.ImageDesc;
        GraphicsControlBlock control{};
        DGifSavedExtensionToGCB(gif, f, &control);
        for (int y = 0; y < d.Height; ++y)
            for (int x = 0; x < d.Width; ++x) {
                const int index = frame.RasterBits[y * d.Width + x];
                if (index == control.TransparentColor) continue;
                const GifColorType c = gif->SColorMap->Colors[index];
                shown.setPixel(d.Left + x, d.Top + y, qRgb(c.Red, c.Green, c.Blue));
            }
    }
    return shown;
}

TEST(GifAnimation, FramesReadBackAsPainted) {
    ScratchDir dir;
    const std::string path = dir / "carte.gif";
    const QImage painted[] = {Picture(0, 7), Picture(10, 600), Picture(20, -3), Picture(20, -3)};
    {
        GifAnimation gif;
        gif.Open(path, SnapshotWidth, SnapshotHeight, 4, MapPalette());
        for (const QImage &picture : painted) gif.AddFrame(picture);
        EXPECT_FALSE(std::filesystem::exists(path));  // written under a temporary name until finished
        gif.Finish();
    }
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    ASSERT_EQ(gif->ImageCount, 4);
    EXPECT_EQ(gif->SWidth, SnapshotWidth);
    EXPECT_EQ(gif->SHeight, SnapshotHeight);
    GraphicsControlBlock control{};
    ASSERT_EQ(DGifSavedExtensionToGCB(gif, 1, &control), GIF_OK);
    EXPECT_EQ(control.DelayTime, 25);
    EXPECT_EQ(gif->SavedImages[0].ImageDesc.Width, SnapshotWidth);  // the first frame whole
    EXPECT_LT(gif->SavedImages[1].ImageDesc.Width, SnapshotWidth);  // then what changed
    EXPECT_EQ(gif->SavedImages[3].ImageDesc.Width, 1);              // nothing did
    for (int k = 0; k < 4; ++k) {
        const QImage shown = Shown(gif, k);
        int differing = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) differing += shown.pixel(x, y) != painted[k].pixel(x, y);
        EXPECT_EQ(differing, 0) << "frame " << k;
    }
    DGifCloseFile(gif, &error);
}

TEST(GifAnimation, UnfinishedOrFailedAnimationKeepsTheEarlierFile) {
    ScratchDir dir;
    const std::string path = dir / "carte.gif";
    WriteAll(path, "earlier");
    {
        GifAnimation gif;
        gif.Open(path, SnapshotWidth, SnapshotHeight, 10, MapPalette());
        gif.AddFrame(Picture(1, 1));
        QImage foreign(SnapshotWidth, SnapshotHeight, QImage::Format_RGB32);
        foreign.fill(qRgb(1, 2, 3));
        EXPECT_THROW(gif.AddFrame(foreign), GlebixError);
    }
    EXPECT_EQ(ReadAll(path), "earlier");
    for (const auto &entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename(), "carte.gif");
    GifAnimation gif;
    try {
        gif.Open(dir / "absent/carte.gif", SnapshotWidth, SnapshotHeight, 10, MapPalette());
        FAIL();
    } catch (const GlebixError &e) {
        EXPECT_EQ(std::string(e.what()), "Nom de fichier incorrect : " + (dir / "absent/carte.gif"));
    }
}

// A GIF's delays are whole hundredths of a second: the rate asked for is rounded to the
// nearest delay, the manifest says the rate written, and rates that viewers slow are
// warned of.
TEST(GifAnimation, TheRateWrittenIsTheNearestDelayAndIsRecorded) {
    const struct {
        int asked, delay;
        std::string written;  // in the manifest
        bool warned;
    } cases[] = {{30, 3, "33.333333333333336", false},
                 {50, 2, "50", false},
                 {60, 2, "50", true},
                 {67, 1, "100", true},
                 {7, 14, "7.142857142857143", false}};
    for (const auto &c : cases) {
        ScratchDir dir;
        const std::string fps = std::to_string(c.asked);
        ParsedCommandLine p =
            ParseCommandLine({"--steps", "2", "--fps", fps, "--animate", dir / "a.gif", "--out", dir / "o"});
        ASSERT_TRUE(p.Problems.empty());
        ASSERT_EQ(RunBatch(p.Options, 1, false, {}).ExitStatus, 0);
        int error = 0;
        GifFileType *gif = DGifOpenFileName((dir / "a.gif").c_str(), &error);
        ASSERT_NE(gif, nullptr);
        ASSERT_EQ(DGifSlurp(gif), GIF_OK);
        GraphicsControlBlock control{};
        ASSERT_EQ(DGifSavedExtensionToGCB(gif, 1, &control), GIF_OK);
        DGifCloseFile(gif, &error);
        EXPECT_EQ(control.DelayTime, c.delay) << fps;
        const std::string manifest = ReadAll(dir / "o/manifest.json");
        EXPECT_NE(manifest.find("\"animation_frames_per_second\": " + c.written + ","), std::string::npos) << manifest;
        const std::vector<std::string> warnings = CollectWarnings(p.Options).All();
        EXPECT_EQ(warnings.size(), c.warned ? 1u : 0u) << fps;
        if (c.warned) { EXPECT_EQ(warnings.front().rfind("--fps " + fps + " : ", 0), 0u) << warnings.front(); }
    }
}

TEST(StepField, ShowsTheStepInThePlotWindowsField) {
    const QImage a = Picture(7, 5), b = Picture(128, 5);
    // Everything outside the field is the map's; inside, the digits differ.
    int outside = 0, inside = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const bool inField = x >= StepFieldLeft && x < StepFieldLeft + StepFieldWidth && y >= StepFieldTop &&
                                 y < StepFieldTop + StepFieldHeight;
            (inField ? inside : outside) += a.pixel(x, y) != b.pixel(x, y);
        }
    }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, 10);
    // The frame, the face, and the top bar of the "7" four pixels in from the edge.
    EXPECT_EQ(a.pixel(StepFieldLeft, StepFieldTop), qRgb(122, 122, 122));
    EXPECT_EQ(a.pixel(StepFieldLeft + 1, StepFieldTop + 1), qRgb(255, 255, 255));
    for (int x = 0; x < 5; ++x) EXPECT_EQ(a.pixel(StepFieldLeft + 4 + x, StepFieldTop + 7), qRgb(0, 0, 0));
    EXPECT_EQ(a.pixel(StepFieldLeft + 4 + 6, StepFieldTop + 7), qRgb(255, 255, 255));  // one digit only
}

}  // namespace
}  // namespace glebix::render
