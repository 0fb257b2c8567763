#include "OffsetTable.h"

#include <algorithm>
#include <cmath>

#include "DispersalCell.h"

namespace glebix {
namespace {

// Nearest integer, halves to even (the default rounding), inline below 2^51.
double RoundToWhole(double v) { return std::fabs(v) < 0x1p51 ? (v + 0x1.8p52) - 0x1.8p52 : std::nearbyint(v); }

// Room for the rounding of the exact expression and of the bounds, relative to the
// displacement and at least absolute: far above both, far below a rectangle's spread.
constexpr double Room = 1e-9;

// The one offset of every value in [low, high] widened by the room, or none.
bool SameOffset(double low, double high, std::int64_t &offset) {
    const double room = Room * (1 + std::max(std::fabs(low), std::fabs(high)));
    const double a = RoundToWhole(low - room), b = RoundToWhole(high + room);
    offset = static_cast<std::int64_t>(a);
    return a == b;
}

struct Range {
    double Low, High;
};

// Bounds of c R scale for c in `c` and R in `r` (R >= 0).
Range ProductRange(Range c, Range r, double scale) {
    const double low = (c.Low >= 0 ? c.Low * r.Low : c.Low * r.High) * scale;
    const double high = (c.High >= 0 ? c.High * r.High : c.High * r.Low) * scale;
    return scale >= 0 ? Range{low, high} : Range{high, low};
}

}  // namespace

OffsetTable::OffsetTable() : entries_(new std::uint8_t[Side * Side]) {}

void OffsetTable::Build(double scale, int reach) {
    const int side = 2 * reach + 1;
    // Corners: the angle and the radius at the edges of the rectangles.
    double cosEdge[Side + 1], sinEdge[Side + 1], radiusEdge[Side + 1];
    for (int k = 0; k <= Side; ++k) {
        const double u = k / static_cast<double>(Side);
        cosEdge[k] = std::cos(2.0 * u * DispersalPi);
        sinEdge[k] = std::sin(2.0 * u * DispersalPi);
        radiusEdge[k] = std::sqrt(-2.0 * std::log(std::max(u, 0.001)));
    }
    for (int b1 = 0; b1 < Side; ++b1) {
        const Range c = {std::min(cosEdge[b1], cosEdge[b1 + 1]), std::max(cosEdge[b1], cosEdge[b1 + 1])};
        const Range s = {std::min(sinEdge[b1], sinEdge[b1 + 1]), std::max(sinEdge[b1], sinEdge[b1 + 1])};
        for (int b2 = 0; b2 < Side; ++b2) {
            const Range r = {radiusEdge[b2 + 1], radiusEdge[b2]};
            const Range x = ProductRange(c, r, scale), y = ProductRange(s, r, scale);
            std::int64_t di = 0, dj = 0;
            const bool sure = SameOffset(x.Low, x.High, di) && SameOffset(y.Low, y.High, dj) &&
                              std::max(std::abs(di), std::abs(dj)) <= reach;
            entries_[b1 * Side + b2] = sure ? static_cast<std::uint8_t>((di + reach) * side + dj + reach) : Unsure;
        }
    }
    scale_ = scale;
    reach_ = reach;
    built_ = true;
    MakeShifts();
}

void OffsetTable::UsePaddedColumns(int columns) {
    paddedColumns_ = columns;
    MakeShifts();
}

void OffsetTable::MakeShifts() {
    const int side = 2 * reach_ + 1;
    for (int entry = 0; entry < 256; ++entry) {
        const int di = entry / side - reach_, dj = entry % side - reach_;
        shift_[entry] = entry < side * side ? di * paddedColumns_ + dj : 0;
    }
}

}  // namespace glebix
