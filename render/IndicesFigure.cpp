#include "IndicesFigure.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "Conversions.h"
#include "DesignFile.h"
#include "PixelFont.h"
#include "PngFile.h"

namespace glebix::render {

// The core's names are this layer's words.
using namespace glebix::core;

namespace {

constexpr int Margin = 10;
constexpr int LegendHeight = 20;
constexpr int TitleHeight = 20;
constexpr int LabelWidth = 170;
constexpr int BarThickness = 8;
constexpr int BarGap = 3;
constexpr int FactorGap = 8;
constexpr int LinePanelHeight = 160;
constexpr int TickLength = 4;
constexpr int SwatchSide = 8;
constexpr int LegendEntryWidth = 110;
constexpr int TextScale = 1;
constexpr int NumberDigits = 3;
constexpr QRgb Background = 0xFFFFFFFF, Ink = 0xFF000000, Axis = 0xFFA0A0A0, Interval = 0xFF404040;
constexpr QRgb Palette[] = {0xFF1F77B4, 0xFFFF7F0E, 0xFF2CA02C, 0xFFD62728, 0xFF9467BD,
                            0xFF8C564B, 0xFFE377C2, 0xFF7F7F7F, 0xFFBCBD22, 0xFF17BECF};
constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();

struct Row {
    std::string metric, step, factor, index;
    double estimate, low, high;
};

// Every name in its order of first appearance.
void Note(std::vector<std::string> &names, const std::string &name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

int Place(const std::vector<std::string> &names, const std::string &name) {
    return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
}

struct Indices {
    std::vector<Row> rows;  // the factors' indices (not the noise share)
    std::vector<std::string> metrics, steps, factors, indices;
    bool OverTime() const { return steps.size() > 1; }
};

double Number(const std::string &text) { return ParseRealToken(text).value_or(NotANumber); }

Indices Read(std::string_view csv) {
    Indices out;
    std::vector<std::string> f;
    bool header = true;
    while (!csv.empty()) {
        const std::size_t end = csv.find('\n');
        const std::string_view line = csv.substr(0, end);
        csv.remove_prefix(end == std::string_view::npos ? csv.size() : end + 1);
        if (header || line.empty() || SplitCsvLine(line, f) || f.size() != 7 || f[2].empty()) {
            header = false;
            continue;
        }
        out.rows.push_back({f[0], f[1], f[2], f[3], Number(f[4]), Number(f[5]), Number(f[6])});
        Note(out.metrics, f[0]);
        Note(out.steps, f[1]);
        Note(out.factors, f[2]);
        Note(out.indices, f[3]);
    }
    return out;
}

int BarPanelHeight(const Indices &in) {
    const int perFactor = static_cast<int>(in.indices.size()) * (BarThickness + BarGap) + FactorGap;
    return TitleHeight + static_cast<int>(in.factors.size()) * perFactor + Margin;
}

int PanelCount(const Indices &in) {
    return static_cast<int>(in.metrics.size() * (in.OverTime() ? in.indices.size() : 1));
}

int Height(const Indices &in) {
    const int panel = in.OverTime() ? TitleHeight + LinePanelHeight + Margin : BarPanelHeight(in);
    return Margin + LegendHeight + PanelCount(in) * panel;
}

std::string Short(double v) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v, std::chars_format::general, NumberDigits);
    return std::string(text, end);
}

QRgb ColourOf(int k) { return Palette[static_cast<std::size_t>(k) % std::size(Palette)]; }

// A range holding 0 and every finite value of the rows chosen.
struct Range {
    double lo = 0, hi = 0;
    void Take(double v) {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    double Span() const { return hi > lo ? hi - lo : 1; }
};

struct Canvas {
    QImage image;
    struct Text {
        int left, top;
        std::string text;
    };
    std::vector<Text> texts;  // painted once the painter is done
    void Write(int left, int top, const std::string &text) { texts.push_back({left, top, text}); }
};

void Legend(Canvas &c, const std::vector<std::string> &names) {
    QPainter p(&c.image);
    for (std::size_t k = 0; k < names.size(); ++k) {
        const int left = Margin + static_cast<int>(k) * LegendEntryWidth;
        p.fillRect(left, Margin, SwatchSide, SwatchSide, QColor::fromRgb(ColourOf(static_cast<int>(k))));
        c.Write(left + SwatchSide + BarGap, Margin, names[k]);
    }
}

void BarPanel(Canvas &c, const Indices &in, const std::string &metric, int top) {
    Range range;
    for (const Row &r : in.rows)
        if (r.metric == metric)
            for (double v : {r.estimate, r.low, r.high}) range.Take(v);
    const int left = LabelWidth, width = FigureWidth - LabelWidth - 2 * Margin;
    const auto x = [&](double v) {
        return left + static_cast<int>(std::lround((v - range.lo) / range.Span() * width));
    };
    c.Write(Margin, top + Margin / 2, metric);
    c.Write(left, top + Margin / 2, Short(range.lo));
    const std::string hi = Short(range.hi);
    c.Write(left + width - TextWidth(hi, TextScale), top + Margin / 2, hi);
    const int perFactor = static_cast<int>(in.indices.size()) * (BarThickness + BarGap) + FactorGap;
    QPainter p(&c.image);
    p.setPen(QColor::fromRgb(Axis));
    p.drawLine(x(0), top + TitleHeight, x(0), top + TitleHeight + static_cast<int>(in.factors.size()) * perFactor);
    for (const Row &r : in.rows) {
        if (r.metric != metric) continue;
        const int f = Place(in.factors, r.factor), i = Place(in.indices, r.index);
        const int y = top + TitleHeight + f * perFactor + i * (BarThickness + BarGap);
        if (i == 0) c.Write(Margin * 2, y, r.factor);
        if (std::isfinite(r.estimate)) {
            const int a = std::min(x(0), x(r.estimate)), b = std::max(x(0), x(r.estimate));
            p.fillRect(a, y, std::max(1, b - a), BarThickness, QColor::fromRgb(ColourOf(i)));
        }
        if (!std::isfinite(r.low) || !std::isfinite(r.high)) continue;
        const int mid = y + BarThickness / 2;
        p.setPen(QColor::fromRgb(Interval));
        p.drawLine(x(r.low), mid, x(r.high), mid);
        p.drawLine(x(r.low), mid - TickLength / 2, x(r.low), mid + TickLength / 2);
        p.drawLine(x(r.high), mid - TickLength / 2, x(r.high), mid + TickLength / 2);
    }
}

void LinePanel(Canvas &c, const Indices &in, const std::string &metric, const std::string &index, int top) {
    Range range;
    double first = NotANumber, last = NotANumber;
    for (const Row &r : in.rows) {
        if (r.metric != metric || r.index != index) continue;
        for (double v : {r.estimate, r.low, r.high}) range.Take(v);
        const double s = Number(r.step);
        first = std::isnan(first) ? s : std::min(first, s);
        last = std::isnan(last) ? s : std::max(last, s);
    }
    const int left = LabelWidth, width = FigureWidth - LabelWidth - 2 * Margin, plotTop = top + TitleHeight;
    const double steps = last > first ? last - first : 1;
    const auto x = [&](double s) { return left + static_cast<int>(std::lround((s - first) / steps * width)); };
    const auto y = [&](double v) {
        return plotTop + LinePanelHeight -
               static_cast<int>(std::lround((v - range.lo) / range.Span() * LinePanelHeight));
    };
    c.Write(Margin, top + Margin / 2, metric + " " + index);
    c.Write(Margin, plotTop, Short(range.hi));
    c.Write(Margin, plotTop + LinePanelHeight - GlyphHeight, Short(range.lo));
    c.Write(left, top + Margin / 2, "step " + Short(first) + " > " + Short(last));
    QPainter p(&c.image);
    p.setPen(QColor::fromRgb(Axis));
    p.drawLine(left, y(0), left + width, y(0));
    std::vector<QPoint> previous(in.factors.size(), QPoint(-1, -1));
    for (const Row &r : in.rows) {
        if (r.metric != metric || r.index != index || !std::isfinite(r.estimate)) continue;
        const int f = Place(in.factors, r.factor);
        const QPoint here(x(Number(r.step)), y(r.estimate));
        p.setPen(QColor::fromRgb(ColourOf(f)));
        if (std::isfinite(r.low) && std::isfinite(r.high)) p.drawLine(here.x(), y(r.low), here.x(), y(r.high));
        if (previous[static_cast<std::size_t>(f)].x() >= 0) p.drawLine(previous[static_cast<std::size_t>(f)], here);
        previous[static_cast<std::size_t>(f)] = here;
    }
}

}  // namespace

int IndicesFigureHeight(std::string_view csv) { return Height(Read(csv)); }

std::string IndicesFigurePng(std::string_view csv) {
    const Indices in = Read(csv);
    Canvas c{QImage(FigureWidth, Height(in), QImage::Format_RGB32), {}};
    if (c.image.isNull()) throw std::bad_alloc();
    c.image.fill(Background);
    Legend(c, in.OverTime() ? in.factors : in.indices);
    int top = Margin + LegendHeight;
    for (const std::string &metric : in.metrics) {
        if (!in.OverTime()) {
            BarPanel(c, in, metric, top);
            top += BarPanelHeight(in);
            continue;
        }
        for (const std::string &index : in.indices) {
            LinePanel(c, in, metric, index, top);
            top += TitleHeight + LinePanelHeight + Margin;
        }
    }
    for (const Canvas::Text &t : c.texts) PaintText(c.image, t.left, t.top, t.text, Ink, TextScale);
    return EncodePng(reinterpret_cast<const std::uint32_t *>(c.image.constBits()), c.image.width(), c.image.height(),
                     c.image.bytesPerLine() / static_cast<qsizetype>(sizeof(std::uint32_t)));
}

}  // namespace glebix::render
