#include "CalibrationFigure.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "PixelFont.h"
#include "PngFile.h"

namespace glebix::render {

namespace {

constexpr int Margin = 10;
constexpr int TitleHeight = 20;
constexpr int LabelHeight = 12;
constexpr int HistogramHeight = 110;
constexpr int HistogramBins = 20;
constexpr int PanelGap = 16;
constexpr int MaxMarginalWidth = 250;
constexpr int PairSide = 170;
constexpr int PredictiveHeight = 130;
constexpr int PredictiveLabelWidth = 70;
constexpr int PointSide = 3;
constexpr int PointOffset = PointSide / 2;  // a point's square centred on its place
constexpr int BandWidth = 5;
constexpr int LabelGap = 2;  // between a panel's edge and its labels
constexpr int TextScale = 1;
constexpr int NumberDigits = 3;
constexpr QRgb Background = 0xFFFFFFFF, Ink = 0xFF000000, Axis = 0xFFA0A0A0, Bar = 0xFF1F77B4, Band = 0xFFB0C8E8,
               Point = 0xFF1F77B4;

// The titles and labels in the font's letters: lower case, the accents of French dropped.
std::string Plain(std::string_view text) {
    static const std::pair<std::string_view, char> Accented[] = {
        {"é", 'e'}, {"è", 'e'}, {"ê", 'e'}, {"ë", 'e'}, {"à", 'a'}, {"â", 'a'}, {"ç", 'c'},     {"î", 'i'},
        {"ï", 'i'}, {"ô", 'o'}, {"ù", 'u'}, {"û", 'u'}, {"É", 'e'}, {"À", 'a'}, {"\u00a0", ' '}};
    std::string out;
    for (std::size_t k = 0; k < text.size();) {
        bool replaced = false;
        for (const auto &[from, to] : Accented)
            if (text.substr(k, from.size()) == from) {
                out += to;
                k += from.size();
                replaced = true;
                break;
            }
        if (replaced) continue;
        const char c = text[k++];
        out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

std::string Short(double v) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v, std::chars_format::general, NumberDigits);
    return std::string(text, end);
}

struct Canvas {
    QImage image;
    struct Text {
        int left, top;
        std::string text;
    };
    std::vector<Text> texts;  // painted once the painters are done
    void Write(int left, int top, std::string_view text) { texts.push_back({left, top, Plain(text)}); }
};

// Maps `start` to `from` and `end` to `from + length` (either way round; a range of one
// value has the width 1).
struct Scale {
    double start, end;
    int from, length;
    int operator()(double v) const {
        const double span = end != start ? end - start : 1;
        return from + static_cast<int>(std::lround((v - start) / span * length));
    }
};

std::pair<double, double> RangeOf(const std::vector<double> &a, const std::vector<double> &b = {}) {
    double lo = INFINITY, hi = -INFINITY;
    for (const auto *values : {&a, &b})
        for (double v : *values)
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    return lo <= hi ? std::pair{lo, hi} : std::pair{0.0, 1.0};
}

int PairCount(const CalibrationFigureData &d) {
    const int n = static_cast<int>(d.Factors.size());
    return n * (n - 1) / 2;
}

int PairsPerRow() { return (CalibrationFigureWidth - Margin) / (PairSide + PanelGap); }

int MarginalSection() { return TitleHeight + HistogramHeight + 2 * LabelHeight + Margin; }

int PairsSection(const CalibrationFigureData &d) {
    const int pairs = PairCount(d);
    if (pairs == 0) return 0;
    const int rows = (pairs + PairsPerRow() - 1) / PairsPerRow();
    return TitleHeight + rows * (PairSide + 2 * LabelHeight + Margin);
}

int PredictiveSection(const CalibrationFigureData &d) {
    if (d.Predictive.empty()) return 0;
    return TitleHeight +
           static_cast<int>(d.Predictive.size()) * (LabelHeight + PredictiveHeight + LabelHeight + Margin);
}

void Histogram(Canvas &c, const CalibrationFigureData &d, std::size_t f, int left, int top, int width) {
    const auto &factor = d.Factors[f];
    std::vector<double> bins(HistogramBins, 0.0);
    const double span = factor.High > factor.Low ? factor.High - factor.Low : 1;
    for (std::size_t k = 0; k < factor.Values.size(); ++k) {
        const double w = k < d.Weights.size() ? d.Weights[k] : 1;
        if (!std::isfinite(factor.Values[k]) || !(w > 0)) continue;
        const int bin = static_cast<int>(std::floor((factor.Values[k] - factor.Low) / span * HistogramBins));
        bins[static_cast<std::size_t>(std::clamp(bin, 0, HistogramBins - 1))] += w;
    }
    const double tallest = *std::max_element(bins.begin(), bins.end());
    QPainter p(&c.image);
    const int base = top + HistogramHeight;
    p.setPen(QColor::fromRgb(Axis));
    p.drawLine(left, base, left + width, base);
    for (int b = 0; b < HistogramBins; ++b) {
        const int x0 = left + b * width / HistogramBins, x1 = left + (b + 1) * width / HistogramBins;
        const double share = tallest > 0 ? bins[static_cast<std::size_t>(b)] / tallest : 0;
        const int h = static_cast<int>(std::lround(share * HistogramHeight));
        if (h > 0) p.fillRect(x0, base - h, std::max(1, x1 - x0 - 1), h, QColor::fromRgb(Bar));
    }
    c.Write(left, base + LabelGap, Short(factor.Low));
    const std::string high = Short(factor.High);
    c.Write(left + width - TextWidth(high, TextScale), base + LabelGap, high);
    c.Write(left, base + LabelGap + LabelHeight, factor.Name);
}

int Marginals(Canvas &c, const CalibrationFigureData &d, int top) {
    c.Write(Margin, top + Margin / 2, d.MarginalTitle);
    const int n = std::max<int>(1, static_cast<int>(d.Factors.size()));
    const int width = std::min(MaxMarginalWidth, (CalibrationFigureWidth - Margin) / n - PanelGap);
    for (std::size_t f = 0; f < d.Factors.size(); ++f)
        Histogram(c, d, f, Margin + static_cast<int>(f) * (width + PanelGap), top + TitleHeight, width);
    return top + MarginalSection();
}

void Scatter(Canvas &c, const CalibrationFigureData &d, std::size_t a, std::size_t b, int left, int top) {
    const auto &fa = d.Factors[a], &fb = d.Factors[b];
    const Scale x{fa.Low, fa.High, left, PairSide}, y{fb.High, fb.Low, top, PairSide};
    QPainter p(&c.image);
    p.setPen(QColor::fromRgb(Axis));
    p.drawRect(left, top, PairSide, PairSide);
    const std::size_t n = std::min(fa.Values.size(), fb.Values.size());
    for (std::size_t k = 0; k < n; ++k)
        if (std::isfinite(fa.Values[k]) && std::isfinite(fb.Values[k]))
            p.fillRect(x(fa.Values[k]) - PointOffset, y(fb.Values[k]) - PointOffset, PointSide, PointSide,
                       QColor::fromRgb(Point));
    c.Write(left, top + PairSide + LabelGap, fa.Name + " >");
    c.Write(left, top + PairSide + LabelGap + LabelHeight, fb.Name + " ^");
}

int Pairs(Canvas &c, const CalibrationFigureData &d, int top) {
    if (PairCount(d) == 0) return top;
    c.Write(Margin, top + Margin / 2, d.PairsTitle);
    int k = 0;
    for (std::size_t a = 0; a < d.Factors.size(); ++a)
        for (std::size_t b = a + 1; b < d.Factors.size(); ++b, ++k) {
            const int row = k / PairsPerRow(), column = k % PairsPerRow();
            Scatter(c, d, a, b, Margin + column * (PairSide + PanelGap),
                    top + TitleHeight + row * (PairSide + 2 * LabelHeight + Margin));
        }
    return top + PairsSection(d);
}

void PredictivePanel(Canvas &c, const CalibrationFigureData::Series &s, const std::string &stepWord, int top) {
    auto [firstStep, lastStep] = RangeOf(s.Steps);
    const std::string steps = stepWord + " " + Short(firstStep) + " > " + Short(lastStep);
    if (firstStep == lastStep) {  // one step: drawn in the middle
        firstStep -= 1;
        lastStep += 1;
    }
    auto [lo, hi] = RangeOf(s.Observed, s.BandLow);
    hi = std::max(hi, RangeOf(s.BandHigh).second);
    const int left = PredictiveLabelWidth, width = CalibrationFigureWidth - PredictiveLabelWidth - 2 * Margin;
    const int plotTop = top + LabelHeight;
    const Scale x{firstStep, lastStep, left, width}, y{hi, lo, plotTop, PredictiveHeight};
    c.Write(Margin, top, s.Metric);
    c.Write(Margin, plotTop, Short(hi));
    c.Write(Margin, plotTop + PredictiveHeight - GlyphHeight, Short(lo));
    c.Write(left, plotTop + PredictiveHeight + LabelGap, steps);
    QPainter p(&c.image);
    p.setPen(QColor::fromRgb(Axis));
    p.drawRect(left, plotTop, width, PredictiveHeight);
    for (std::size_t k = 0; k < s.Steps.size(); ++k) {
        if (!std::isfinite(s.BandLow[k]) || !std::isfinite(s.BandHigh[k])) continue;
        const int top0 = y(s.BandHigh[k]), bottom = y(s.BandLow[k]);
        p.fillRect(x(s.Steps[k]) - BandWidth / 2, top0, BandWidth, std::max(1, bottom - top0 + 1),
                   QColor::fromRgb(Band));
    }
    p.setPen(QColor::fromRgb(Ink));
    for (std::size_t k = 0; k < s.Steps.size(); ++k)
        if (std::isfinite(s.Observed[k]))
            p.fillRect(x(s.Steps[k]) - PointOffset, y(s.Observed[k]) - PointOffset, PointSide, PointSide,
                       QColor::fromRgb(Ink));
}

int Predictive(Canvas &c, const CalibrationFigureData &d, int top) {
    if (d.Predictive.empty()) return top;
    c.Write(Margin, top + Margin / 2, d.PredictiveTitle);
    int at = top + TitleHeight;
    for (const auto &s : d.Predictive) {
        PredictivePanel(c, s, d.StepWord, at);
        at += LabelHeight + PredictiveHeight + LabelHeight + Margin;
    }
    return at;
}

}  // namespace

int CalibrationFigureHeight(const CalibrationFigureData &data) {
    return Margin + MarginalSection() + PairsSection(data) + PredictiveSection(data);
}

std::string CalibrationFigurePng(const CalibrationFigureData &data) {
    Canvas c{QImage(CalibrationFigureWidth, CalibrationFigureHeight(data), QImage::Format_RGB32), {}};
    if (c.image.isNull()) throw std::bad_alloc();
    c.image.fill(Background);
    int top = Margin;
    top = Marginals(c, data, top);
    top = Pairs(c, data, top);
    Predictive(c, data, top);
    for (const Canvas::Text &t : c.texts) PaintText(c.image, t.left, t.top, t.text, Ink, TextScale);
    return EncodePng(reinterpret_cast<const std::uint32_t *>(c.image.constBits()), c.image.width(), c.image.height(),
                     c.image.bytesPerLine() / static_cast<qsizetype>(sizeof(std::uint32_t)));
}

}  // namespace glebix::render
