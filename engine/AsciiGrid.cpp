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

// Blank-separated tokens with their line and column; code 26 ends the text.
class Tokens {
public:
    explicit Tokens(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\x1a'))) {}
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
        if (bytes_[pos_++] == '\n') {
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

// The header's values by key; the keys of a pair may come in any order.
struct Header {
    std::optional<double> Values[7];  // ncols nrows xllcorner xllcenter yllcorner yllcenter cellsize
    std::optional<double> NoData;
};
constexpr const char *HeaderKeys[] = {"ncols",     "nrows",     "xllcorner", "xllcenter",
                                      "yllcorner", "yllcenter", "cellsize",  "nodata_value"};

Header ReadHeader(Tokens &tokens, const std::string &path) {
    Header h;
    for (;;) {
        const auto key = tokens.Peek();
        if (!key) break;
        const std::string name = Lower(key->Text);
        int k = 0;
        while (k < 8 && name != HeaderKeys[k]) ++k;
        if (k == 8) break;  // the first value
        tokens.Next();
        const auto value = tokens.Next();
        if (!value) throw GlebixError("en-tête de grille incomplet : « " + name + " » sans valeur", Where(path, *key));
        std::optional<double> &slot = k < 7 ? h.Values[k] : h.NoData;
        if (slot) throw GlebixError("en-tête de grille : « " + name + " » donné deux fois", Where(path, *key));
        slot = HeaderReal(*value, path);
    }
    return h;
}

// A size must be a whole number; anything else is read as a size that is not 50.
std::string SizeText(double v) {
    return v == std::floor(v) && std::fabs(v) < 1e15 ? std::to_string(static_cast<std::int64_t>(v)) : FormatShortest(v);
}

GridPlacement CheckHeader(const Header &h, const std::string &path) {
    const ErrorContext where{{}, path, 0, 0, {}};
    auto missing = [&where](const std::string &what) {
        throw GlebixError("en-tête de grille incomplet : " + what + " manque", where);
    };
    if (!h.Values[0]) missing("« ncols »");
    if (!h.Values[1]) missing("« nrows »");
    if (*h.Values[0] != GridSide || *h.Values[1] != GridSide)
        throw GlebixError("la grille du fichier « " + path + " » a " + SizeText(*h.Values[0]) + " colonnes et " +
                              SizeText(*h.Values[1]) + " lignes ; la parcelle en demande 50 × 50",
                          where);
    if (h.Values[2].has_value() == h.Values[3].has_value())
        missing("« xllcorner » ou « xllcenter » (un seul des deux)");
    if (h.Values[4].has_value() == h.Values[5].has_value())
        missing("« yllcorner » ou « yllcenter » (un seul des deux)");
    if (!h.Values[6]) missing("« cellsize »");
    if (!(*h.Values[6] > 0)) throw GlebixError("en-tête de grille : « cellsize » doit être positif", where);
    GridPlacement p;
    p.CellSize = *h.Values[6];
    p.XllCorner = h.Values[2] ? *h.Values[2] : *h.Values[3] - p.CellSize / 2;
    p.YllCorner = h.Values[4] ? *h.Values[4] : *h.Values[5] - p.CellSize / 2;
    return p;
}

bool IsNoData(const Header &h, std::string_view token) {
    if (!h.NoData) return false;
    double v = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
    return ec == std::errc() && ptr == token.data() + token.size() && v == *h.NoData;
}

}  // namespace

bool IsAsciiGrid(std::string_view bytes) {
    Tokens tokens(bytes);
    const auto first = tokens.Next();
    return first && Lower(first->Text) == "ncols";
}

GridPlacement ReadAsciiGrid(std::string_view bytes, const std::string &path, const GridCellFunction &apply) {
    Tokens tokens(bytes);
    const Header header = ReadHeader(tokens, path);
    const GridPlacement placement = CheckHeader(header, path);
    int count = 0;
    for (std::optional<Token> t; (t = tokens.Next());) {
        if (count == CellCount)
            throw GlebixError("la grille du fichier « " + path + " » a plus de 2500 valeurs", Where(path, *t));
        const int line = count / GridSide, along = count % GridSide;
        ++count;
        if (IsNoData(header, t->Text)) continue;
        try {
            if (t->Text.size() > MaxTokenLength) ThrowBadNumber();
            apply(along, GridSide - 1 - line, t->Text);
        } catch (GlebixError &e) {
            const ErrorContext where = Where(path, *t);
            e.Context().Path = where.Path;
            e.Context().Line = where.Line;
            e.Context().Column = where.Column;
            e.Context().Token = where.Token;
            throw;
        }
    }
    if (count < CellCount)
        throw GlebixError("la grille du fichier « " + path + " » n'a que " + std::to_string(count) +
                              " valeurs sur les 2500 attendues",
                          ErrorContext{{}, path, 0, 0, {}});
    return placement;
}

std::string AsciiGridHeader(const GridPlacement &placement) {
    const std::string side = std::to_string(GridSide);
    return "ncols " + side + "\nnrows " + side + "\nxllcorner " + FormatShortest(placement.XllCorner) + "\nyllcorner " +
           FormatShortest(placement.YllCorner) + "\ncellsize " + FormatShortest(placement.CellSize) + "\n";
}

}  // namespace glebix
