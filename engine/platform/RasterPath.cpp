#include "RasterPath.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glebix {

namespace {

// The root element of a GDAL virtual raster.
constexpr std::string_view VrtRoot = "<VRTDataset";

bool IsFile(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::optional<int> BandNumber(const std::string &text) {
    int band = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), band);
    if (ec != std::errc() || end != text.data() + text.size() || band < 1) return std::nullopt;
    return band;
}

}  // namespace

RasterPath SplitRasterPath(const std::string &path) {
    const auto colon = path.rfind(':');
    if (IsFile(path) || colon == std::string::npos || colon + 1 == path.size()) return {path, {}, {}};
    const std::string file = path.substr(0, colon), choice = path.substr(colon + 1);
    if (!IsFile(file)) return {path, {}, {}};
    if (const auto band = BandNumber(choice)) return {file, band, {}};
    return {file, {}, choice};
}

std::string FileStart(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string bytes(BinaryProbeBytes, '\0');
    std::size_t got = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

bool IsVrtText(std::string_view bytes) {
    auto rest = bytes.substr(std::min(bytes.size(), bytes.find_first_not_of(" \t\r\n")));
    if (rest.starts_with("<?xml")) {
        const auto end = rest.find("?>");
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
        rest = rest.substr(std::min(rest.size(), rest.find_first_not_of(" \t\r\n")));
    }
    return rest.starts_with(VrtRoot);
}

bool LooksLikeRaster(const std::string &bytes) {
    return bytes.find('\0') < std::min(bytes.size(), BinaryProbeBytes) || IsVrtText(bytes);
}

bool IsReadAsRaster(const std::string &path) {
    return SplitRasterPath(path).File != path || LooksLikeRaster(FileStart(path));
}

}  // namespace glebix
