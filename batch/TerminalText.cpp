#include "TerminalText.h"

#include <cerrno>
#include <clocale>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

namespace glebix::batch {

namespace {

// The codesets that take the catalogue's bytes as they are.
bool TakesUtf8AsIs(const std::string &codeset) {
    return codeset.empty() || codeset == "UTF-8" || codeset == "utf8" || codeset == "ANSI_X3.4-1968";
}

class Converter {
public:
    explicit Converter(const std::string &codeset) : cd_(::iconv_open((codeset + "//TRANSLIT").c_str(), "UTF-8")) {}
    ~Converter() {
        if (IsOpen()) ::iconv_close(cd_);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    bool IsOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts what it can of [in, in + left) into `out`; stops at a byte that is not
    // UTF-8, leaving `in` on it.
    void Convert(char *&in, std::size_t &left, std::string &out) {
        constexpr std::size_t ChunkBytes = 256;
        char buffer[ChunkBytes];
        while (left > 0) {
            char *at = buffer;
            std::size_t room = ChunkBytes;
            const std::size_t done = ::iconv(cd_, &in, &left, &at, &room);
            out.append(buffer, at);
            if (done != static_cast<std::size_t>(-1) || errno != E2BIG) break;
        }
    }

private:
    iconv_t cd_;
};

}  // namespace

std::string UserCodeset() {
    const locale_t user = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (!user) return {};
    std::string codeset = ::nl_langinfo_l(CODESET, user);
    ::freelocale(user);
    return codeset;
}

std::string InCodeset(const std::string &text, const std::string &codeset) {
    if (TakesUtf8AsIs(codeset)) return text;
    Converter converter(codeset);
    if (!converter.IsOpen()) return text;
    std::string source = text, out;
    char *in = source.data();
    std::size_t left = source.size();
    while (left > 0) {
        converter.Convert(in, left, out);
        if (left == 0) break;
        out += *in++;  // not UTF-8: kept as it is
        --left;
    }
    return out;
}

std::string ForTerminal(const std::string &text) {
    static const std::string codeset = UserCodeset();
    return InCodeset(text, codeset);
}

}  // namespace glebix::batch
