// Sequential reader of the text of an input file, held in memory: numbers separated
// by blanks (codes 0 to 32), in which the character of code 26 ends the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glebix {

class TextReader {
public:
    explicit TextReader(std::string_view text) : text_(text) {}

    static constexpr int End = -1;
    static bool IsBlank(int c) { return c >= 0 && c <= 32; }

    // The next character (0..255), or End at the end of the text or at a code 26.
    int Get() {
        const int c = Peek();
        if (c != End) ++pos_;
        return c;
    }
    int Peek() const {
        if (pos_ == text_.size()) return End;
        const int c = static_cast<unsigned char>(text_[pos_]);
        return c == 26 ? End : c;
    }
    // Skips blanks; false when the end of the text comes first.
    bool SkipBlanks() {
        for (int c; (c = Peek()) != End; ++pos_)
            if (!IsBlank(c)) return true;
        return false;
    }
    // Skips blanks, then reads the following run of non-blank characters into `out`,
    // at most `cut` of them (the rest stays for the next read). False at the end.
    bool ReadToken(std::string &out, std::size_t cut) {
        out.clear();
        if (!SkipBlanks()) return false;
        tokenStart_ = pos_;
        for (int c; out.size() < cut && (c = Peek()) != End && !IsBlank(c); ++pos_) out.push_back(static_cast<char>(c));
        return true;
    }
    // Offset in the text of the last token read, for messages.
    std::size_t TokenStart() const { return tokenStart_; }
    // Skips the rest of the current line, line end included.
    void SkipLine() {
        for (int c; (c = Get()) != End;) {
            if (c == '\n') return;
            if (c == '\r') {
                if (Peek() == '\n') ++pos_;
                return;
            }
        }
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t tokenStart_ = 0;
};

}  // namespace glebix
