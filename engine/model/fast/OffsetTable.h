// Offsets read from a table instead of worked out. The high 8 bits of an individual's
// two generator states place U1 and U2 in one of 256 x 256 rectangles; over each
// rectangle the angle covers 1/256 of a turn, within one quarter (so cos and sin are
// monotonic) and the radius is decreasing in U2, so the displacement's bounds come
// from the rectangle's corners. Where both offsets are the same over the whole
// rectangle, with room for the rounding of the exact expression, the table holds
// them; elsewhere it says "unsure" and the individual is worked out as before.
#pragma once

#include <cstdint>
#include <memory>

namespace glebix {

class OffsetTable {
public:
    // Widest offset the table holds: the offset pairs must fit below Unsure.
    static constexpr int MaxReach = 7;
    static constexpr int Bits = 8;  // of each state
    static constexpr int Side = 1 << Bits;
    static constexpr std::uint8_t Unsure = 255;

    OffsetTable();

    // Fills the table for this displacement scale (S / CellSize), whose offsets lie
    // within +-reach (1..MaxReach).
    void Build(double scale, int reach);
    bool IsFor(double scale) const { return built_ && scale == scale_; }
    int Reach() const { return reach_; }

    // (di + reach) (2 reach + 1) + dj + reach, or Unsure.
    std::uint8_t At(std::uint32_t state1, std::uint32_t state2) const {
        return entries_[(state1 >> (32 - Bits)) << Bits | state2 >> (32 - Bits)];
    }

    // Arrivals of the table's individuals go to a grid with a margin of MaxReach
    // cells on every side, where no offset needs a wrap, of `columns` cells a row: an
    // individual of the cell at `home` arrives at home + Shift(entry). Shift(Unsure) is 0.
    void UsePaddedColumns(int columns);
    int PaddedColumns() const { return paddedColumns_; }
    int Shift(std::uint8_t entry) const { return shift_[entry]; }

private:
    std::unique_ptr<std::uint8_t[]> entries_;  // Side x Side
    void MakeShifts();
    std::int32_t shift_[256] = {};
    int paddedColumns_ = 0;
    double scale_ = 0;
    int reach_ = 0;
    bool built_ = false;
};

}  // namespace glebix
