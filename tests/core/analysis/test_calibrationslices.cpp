// A calibration's slice file: what it holds comes back to the last bit, and a file cut
// short or edited anywhere is refused, naming it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "CalibrationSlices.h"
#include "Errors.h"

using namespace glebix;
using namespace glebix::analysis;

namespace {

CalibrationSlice Sample() {
    CalibrationSlice slice;
    slice.Batch = {3, 2, CalibrationBatchDigest({{{0.25, 7}, 11, 4, 1}, {{0.5, 2}, 12, 5, 1}}, "steps 20\n")};
    slice.Slice = {2, 3};
    slice.Runs = 7;
    slice.First = 2;
    slice.Summaries = {{0.1, -0.0, 1e-310, 12345.678901234567},
                       {},  // a run that faulted
                       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 3}};
    return slice;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

}  // namespace

TEST(CalibrationSliceFile, GivesBackWhatItHoldsToTheBit) {
    const CalibrationSlice written = Sample();
    const CalibrationSlice read = ReadCalibrationSlice(CalibrationSliceText(written), "s.txt");
    EXPECT_EQ(read.Batch.Generation, 3u);
    EXPECT_EQ(read.Batch.Batch, 2u);
    EXPECT_EQ(read.Batch.Points, written.Batch.Points);
    EXPECT_EQ(read.Slice.Index, 2);
    EXPECT_EQ(read.Slice.Count, 3);
    EXPECT_EQ(read.Runs, 7u);
    EXPECT_EQ(read.First, 2u);
    ASSERT_EQ(read.Summaries.size(), written.Summaries.size());
    for (std::size_t r = 0; r < read.Summaries.size(); ++r) {
        ASSERT_EQ(read.Summaries[r].size(), written.Summaries[r].size()) << r;
        for (std::size_t k = 0; k < read.Summaries[r].size(); ++k)
            EXPECT_TRUE(SameBits(read.Summaries[r][k], written.Summaries[r][k])) << r << " " << k;
    }
    EXPECT_TRUE(IsCalibrationSliceFileName(CalibrationSliceFileName(written.Batch, written.Slice)));
    EXPECT_EQ(CalibrationSliceFileName(written.Batch, written.Slice), "calibration-slice-g3-b2-2of3.txt");
}

TEST(CalibrationSliceFile, AnyEditOrCutIsRefusedNamingTheFile) {
    const std::string text = CalibrationSliceText(Sample());
    const auto refused = [](const std::string &edited) {
        try {
            ReadCalibrationSlice(edited, "slices/s.txt");
        } catch (const GlebixError &e) { return std::string(e.what()).find("slices/s.txt") != std::string::npos; }
        return false;
    };
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::string edited = text;
        edited[at] = edited[at] == '1' ? '2' : '1';
        EXPECT_TRUE(refused(edited)) << "byte " << at;
        EXPECT_TRUE(refused(text.substr(0, at))) << "cut at " << at;
    }
    // Another batch's runs, or the same runs giving other summaries, have another digest.
    const std::string points = Sample().Batch.Points;
    EXPECT_NE(CalibrationBatchDigest({{{0.25, 7}, 11, 4, 1}, {{0.5, 2}, 13, 5, 1}}, "steps 20\n"), points);
    EXPECT_NE(CalibrationBatchDigest({{{0.25, 7}, 11, 4, 1}, {{0.5, 2}, 12, 5, 1}}, "steps 21\n"), points);
}
