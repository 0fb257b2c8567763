// Sequential reader of a text file of numbers separated by blanks (codes 0 to 32),
// in which the character of code 26 ends the file. Raises GlebixError with the
// message by cause when the file cannot be opened or read.
#pragma once

#include <cstddef>
#include <string>

namespace glebix {

class TextFileReader {
public:
    explicit TextFileReader(const std::string &path);  // opens the file or raises
    ~TextFileReader();
    TextFileReader(const TextFileReader &) = delete;
    TextFileReader &operator=(const TextFileReader &) = delete;

    static constexpr int End = -1;
    static bool IsBlank(int c) { return c >= 0 && c <= 32; }

    // The next character (0..255), or End at the end of the file or at a code 26.
    int Get() {
        if (pos_ == len_ && !Fill()) return End;
        const int c = static_cast<unsigned char>(buffer_[pos_]);
        if (c == 26) {
            ended_ = true;
            return End;
        }
        ++pos_;
        return c;
    }
    int Peek() {
        if (pos_ == len_ && !Fill()) return End;
        const int c = static_cast<unsigned char>(buffer_[pos_]);
        return c == 26 ? End : c;
    }
    // Skips blanks; false when the end of the file comes first.
    bool SkipBlanks();
    // Skips blanks, then reads the following run of non-blank characters into `out`,
    // at most `cut` of them (the rest stays for the next read). False at the end.
    bool ReadToken(std::string &out, std::size_t cut);
    // Skips the rest of the current line, line end included.
    void SkipLine();

    const std::string &Path() const { return path_; }

private:
    bool Fill();

    std::string path_;
    int fd_ = -1;
    bool ended_ = false;
    std::size_t pos_ = 0, len_ = 0;
    char buffer_[16384];
};

}  // namespace glebix
