#include "AsciiGrid.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "Conversions.h"
#include "Errors.h"
#include "Plot.h"

namespace glebix {

namespace {

// Longest token taken whole, as in the triples files.
constexpr std::size_t MaxTokenLength = 400;

struct Token {
    std::string_view Text;
    std::int64_t Line = 0;
    std::int64_t Column = 0;
};

// The UTF-8 byte-order mark that some programs put before a text.
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// Blank-separated tokens with their line and column; code 26 ends the text. A line
// ends with LF, CR LF or a lone CR.
class Tokens {
public:
    explicit Tokens(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\x1a'))) {
        if (bytes_.substr(0, ByteOrderMark.size()) == ByteOrderMark) pos_ = lineStart_ = ByteOrderMark.size();
    }
    std::optional<Token> Next() {
        while (pos_ < bytes_.size() && static_cast<unsigned char>(bytes_[pos_]) <= 32) Advance();
        if (pos_ == bytes_.size()) return std::nullopt;
        Token t{{}, line_, static_cast<std::int64_t>(pos_ - lineStart_) + 1};
        const std::size_t start = pos_;
        while (pos_ < bytes_.size() && static_cast<unsigned char>(bytes_[pos_]) > 32) ++pos_;
        t.Text = bytes_.substr(start, pos_ - start);
        return t;
    }
    std::optional<Token> Peek() {
        Tokens copy = *this;
        return copy.Next();
    }

private:
    void Advance() {
        const char c = bytes_[pos_++];
        if (c == '\n' || (c == '\r' && (pos_ == bytes_.size() || bytes_[pos_] != '\n'))) {
            ++line_;
            lineStart_ = pos_;
        }
    }
    std::string_view bytes_;
    std::size_t pos_ = 0, lineStart_ = 0;
    std::int64_t line_ = 1;
};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

ErrorContext Where(const std::string &path, const Token &t) {
    return ErrorContext{{}, path, t.Line, t.Column, std::string(t.Text.substr(0, MaxTokenLength))};
}

double HeaderReal(const Token &t, const std::string &path) {
    const auto v = t.Text.size() <= MaxTokenLength ? ParseRealToken(t.Text) : std::nullopt;
    if (!v || !std::isfinite(*v)) throw GlebixError(MsgBadNumber, Where(path, t));
    return *v;
}

// "nan" in any letter case, with or without a sign: how GDAL and R write a real that
// is not a number, the nodata value of their floating-point grids.
bool IsNanText(std::string_view text) {
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    return Lower(text) == "nan";
}

// The header's values by key; the keys may come in any order.
enum HeaderKey { NCols, NRows, XllCorner, XllCenter, YllCorner, YllCenter, CellSize, Dx, Dy, NoDataValue, KeyCount };
constexpr const char *HeaderKeys[KeyCount] = {"ncols",     "nrows",    "xllcorner", "xllcenter", "yllcorner",
                                              "yllcenter", "cellsize", "dx",        "dy",        "nodata_value"};

struct Header {
    std::optional<double> Values[KeyCount];  // a nodata value "nan" is held as a NaN
};

int KeyIndex(std::string_view token) {
    const std::string name = Lower(token);
    int k = 0;
    while (k < KeyCount && name != HeaderKeys[k]) ++k;
    return k;
}

Header ReadHeader(Tokens &tokens, const std::string &path) {
    Header h;
    for (;;) {
        const auto key = tokens.Peek();
        if (!key) break;
        const int k = KeyIndex(key->Text);
        if (k == KeyCount) break;  // the first value
        tokens.Next();
        const std::string name = HeaderKeys[k];
        const auto value = tokens.Next();
        if (!value) throw GlebixError(EngineMessage("engine.grid_key_no_value", {name}), Where(path, *key));
        std::optional<double> &slot = h.Values[k];
        if (slot) throw GlebixError(EngineMessage("engine.grid_key_twice", {name}), Where(path, *key));
        slot = k == NoDataValue && IsNanText(value->Text) ? std::nan("") : HeaderReal(*value, path);
    }
    return h;
}

// "en-tête de grille incomplet : « <key> » manque".
EngineMessage MissingKey(const char *key) {
    return EngineMessage("engine.grid_missing", {EngineMessage("engine.quoted", {key})});
}

// A size must be a whole number; anything else is read as a size that is not 50.
std::string SizeText(double v) {
    return v == std::floor(v) && std::fabs(v) < 1e15 ? std::to_string(static_cast<std::int64_t>(v)) : FormatShortest(v);
}

// The side of a cell: "cellsize", or "dx" and "dy" when they are equal. The plot's
// cells are square, so a grid whose cells are not cannot be read as it.
double CellSide(const Header &h, const ErrorContext &where) {
    const auto &dx = h.Values[Dx], &dy = h.Values[Dy], &cellSize = h.Values[CellSize];
    const MessageArg absent = MessageKey("engine.grid_absent");
    if ((dx || dy) && (cellSize || !dx || !dy || *dx != *dy))
        throw GlebixError(EngineMessage("engine.grid_not_square", {dx ? MessageArg(FormatShortest(*dx)) : absent,
                                                                   dy ? MessageArg(FormatShortest(*dy)) : absent}),
                          where);
    const std::optional<double> side = cellSize ? cellSize : dx;
    if (!side) throw GlebixError(MissingKey(HeaderKeys[CellSize]), where);
    if (!(*side > 0)) throw GlebixError(MessageKey("engine.grid_cellsize_positive"), where);
    return *side;
}

// The grid's size as a plot's, each side a whole number from 1 to MaxPlotSide.
GridSize SizeOf(const Header &h, const std::string &path) {
    const ErrorContext where{{}, path, 0, 0, {}};
    if (!h.Values[NCols]) throw GlebixError(MissingKey(HeaderKeys[NCols]), where);
    if (!h.Values[NRows]) throw GlebixError(MissingKey(HeaderKeys[NRows]), where);
    const double columns = *h.Values[NCols], rows = *h.Values[NRows];
    auto fits = [](double v) { return v == std::floor(v) && v >= 1 && v <= MaxPlotSide; };
    if (!fits(columns) || !fits(rows))
        throw GlebixError(
            EngineMessage("engine.grid_size", {path, SizeText(columns), SizeText(rows), std::to_string(MaxPlotSide)}),
            where);
    return GridSize{static_cast<int>(columns), static_cast<int>(rows)};
}

GridPlacement CheckHeader(const Header &h, const std::string &path, GridSize wanted) {
    const ErrorContext where{{}, path, 0, 0, {}};
    auto missing = [&where](const EngineMessage &what) {
        throw GlebixError(EngineMessage("engine.grid_missing", {what}), where);
    };
    auto oneOf = [](HeaderKey corner, HeaderKey centre) {
        return EngineMessage("engine.grid_one_of", {HeaderKeys[corner], HeaderKeys[centre]});
    };
    if (!h.Values[NCols]) missing(EngineMessage("engine.quoted", {HeaderKeys[NCols]}));
    if (!h.Values[NRows]) missing(EngineMessage("engine.quoted", {HeaderKeys[NRows]}));
    if (*h.Values[NCols] != wanted.Columns || *h.Values[NRows] != wanted.Rows)
        throw GlebixError(
            EngineMessage("engine.grid_size_wanted", {path, SizeText(*h.Values[NCols]), SizeText(*h.Values[NRows]),
                                                      std::to_string(wanted.Columns), std::to_string(wanted.Rows)}),
            where);
    if (h.Values[XllCorner].has_value() == h.Values[XllCenter].has_value()) missing(oneOf(XllCorner, XllCenter));
    if (h.Values[YllCorner].has_value() == h.Values[YllCenter].has_value()) missing(oneOf(YllCorner, YllCenter));
    GridPlacement p;
    p.CellSize = CellSide(h, where);
    p.XllCorner = h.Values[XllCorner] ? *h.Values[XllCorner] : *h.Values[XllCenter] - p.CellSize / 2;
    p.YllCorner = h.Values[YllCorner] ? *h.Values[YllCorner] : *h.Values[YllCenter] - p.CellSize / 2;
    return p;
}

bool IsNoData(const Header &h, std::string_view token) {
    const std::optional<double> &noData = h.Values[NoDataValue];
    if (!noData) return false;
    if (std::isnan(*noData)) return IsNanText(token);
    double v = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
    return ec == std::errc() && ptr == token.data() + token.size() && v == *noData;
}

}  // namespace

bool IsAsciiGrid(std::string_view bytes) {
    Tokens tokens(bytes);
    const auto first = tokens.Next();
    return first && KeyIndex(first->Text) != KeyCount;
}

GridSize AsciiGridSize(std::string_view bytes, const std::string &path) {
    Tokens tokens(bytes);
    return SizeOf(ReadHeader(tokens, path), path);
}

GridPlacement ReadAsciiGrid(std::string_view bytes, const std::string &path, const GridCellFunction &apply,
                            GridSize size) {
    Tokens tokens(bytes);
    const Header header = ReadHeader(tokens, path);
    const GridPlacement placement = CheckHeader(header, path, size);
    const std::int64_t cells = std::int64_t{size.Columns} * size.Rows;
    std::int64_t count = 0;
    int line = 0, along = 0;
    for (std::optional<Token> t; (t = tokens.Next());) {
        if (count == cells)
            throw GlebixError(EngineMessage("engine.grid_too_many_values", {path, std::to_string(cells)}),
                              Where(path, *t));
        const int at = along, atLine = line;
        ++count;
        if (++along == size.Columns) along = 0, ++line;
        if (IsNoData(header, t->Text)) continue;
        try {
            if (t->Text.size() > MaxTokenLength) ThrowBadNumber();
            apply(at, size.Rows - 1 - atLine, t->Text);
        } catch (GlebixError &e) {
            const ErrorContext where = Where(path, *t);
            e.Context().Path = where.Path;
            e.Context().Line = where.Line;
            e.Context().Column = where.Column;
            e.Context().Token = where.Token;
            e.Context().GridLine = atLine + 1;
            e.Context().GridColumn = at + 1;
            throw;
        }
    }
    if (count < cells)
        throw GlebixError(EngineMessage("engine.grid_too_few", {path, std::to_string(count), std::to_string(cells)}),
                          ErrorContext{{}, path, 0, 0, {}});
    return placement;
}

std::string AsciiGridHeader(const GridPlacement &placement, GridSize size) {
    return "ncols " + std::to_string(size.Columns) + "\nnrows " + std::to_string(size.Rows) + "\nxllcorner " +
           FormatPlainDecimal(placement.XllCorner) + "\nyllcorner " + FormatPlainDecimal(placement.YllCorner) +
           "\ncellsize " + FormatPlainDecimal(placement.CellSize) + "\n";
}

}  // namespace glebix
