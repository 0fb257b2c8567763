#include "GifAnimation.h"

#include <QImage>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <gif_lib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AnimationLook.h"
#include "Errors.h"
#include "FileIo.h"
#include "Messages.h"

namespace glebix::render {

// The core's names are this layer's words.
using namespace glebix::core;

namespace {

int PaletteBits(std::size_t colours) {
    int bits = 1;
    while ((std::size_t{1} << bits) < colours) ++bits;
    return bits;
}

}  // namespace

int GifAnimation::WriteBytes(GifFileType *gif, const unsigned char *data, int size) {
    auto *self = static_cast<GifAnimation *>(gif->UserData);
    int done = 0;
    while (done < size) {
        const ssize_t n = ::write(self->fd_, data + done, static_cast<std::size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (self->writeErrno_ == 0) self->writeErrno_ = n < 0 ? errno : ENOSPC;
            return done;
        }
        done += static_cast<int>(n);
    }
    return done;
}

GifAnimation::~GifAnimation() { Abandon(); }

void GifAnimation::Abandon() {
    if (gif_) {
        int error = 0;
        EGifCloseFile(gif_, &error);
        gif_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temporary_.c_str());
        ForgetTemporary(temporary_);
        fd_ = -1;
    }
}

void GifAnimation::Fail(int errnum) {
    const int cause = writeErrno_ ? writeErrno_ : errnum;
    Abandon();
    throw OutputError(Labelled(LocalIoErrorMessage(cause, path_), path_));
}

void GifAnimation::Open(const std::string &path, int width, int height, int framesPerSecond,
                        const std::vector<Rgb> &palette) {
    Abandon();
    path_ = path;
    width_ = width;
    height_ = height;
    palette_ = palette;
    frames_ = 0;
    writeErrno_ = 0;
    delay_ = FrameDelayCentiseconds(framesPerSecond);
    temporary_ = path + ".tmp-XXXXXX";
    fd_ = ::mkstemp(temporary_.data());
    if (fd_ < 0) Fail(errno);
    RegisterTemporary(temporary_);  // removed by a program that must end at once
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);

    int error = 0;
    gif_ = EGifOpen(this, WriteBytes, &error);
    if (!gif_) Fail(ENOMEM);
    EGifSetGifVersion(gif_, true);
    if (palette_.size() > 255) throw GlebixError(Message("animation.palette", {path_}));
    transparent_ = static_cast<int>(palette_.size());  // the entry after the colours
    shown_.clear();
    const int bits = PaletteBits(palette_.size() + 1);
    ColorMapObject *map = GifMakeMapObject(1 << bits, nullptr);
    if (!map) Fail(ENOMEM);
    for (std::size_t k = 0; k < palette_.size(); ++k)
        map->Colors[k] = GifColorType{palette_[k].r, palette_[k].g, palette_[k].b};
    const int put = EGifPutScreenDesc(gif_, width_, height_, bits, 0, map);
    GifFreeMapObject(map);
    if (put != GIF_OK) Fail(EIO);
    // The application extension that makes viewers loop the animation for ever.
    static const GifByteType application[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType loop[] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(gif_, sizeof application, application) != GIF_OK ||
        EGifPutExtensionBlock(gif_, sizeof loop, loop) != GIF_OK || EGifPutExtensionTrailer(gif_) != GIF_OK)
        Fail(EIO);
}

std::vector<unsigned char> GifAnimation::Indices(const QImage &frame) const {
    const QImage image = frame.convertToFormat(QImage::Format_RGB32);
    if (image.width() != width_ || image.height() != height_)
        throw GlebixError(Message("animation.frame_size", {path_}));
    std::vector<unsigned char> indices(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    QRgb last = image.pixel(0, 0) + 1;  // differs from the first pixel
    unsigned char lastIndex = 0;
    for (int y = 0; y < height_; ++y) {
        const auto *pixels = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width_; ++x) {
            const QRgb p = pixels[x] & 0xFFFFFFu;
            if (p != last) {
                const Rgb colour{static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                                 static_cast<std::uint8_t>(qBlue(p))};
                std::size_t k = 0;
                while (k < palette_.size() && !(palette_[k] == colour)) ++k;
                if (k == palette_.size()) throw GlebixError(Message("animation.colour", {path_}));
                last = p;
                lastIndex = static_cast<unsigned char>(k);
            }
            indices[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] =
                lastIndex;
        }
    }
    return indices;
}

void GifAnimation::AddFrame(const QImage &frame) {
    std::vector<unsigned char> indices = Indices(frame);
    // After the first frame, only the rectangle that changed is stored, and within it
    // the pixels that did not change are transparent: the frame before shows through.
    int left = 0, top = 0, right = width_ - 1, bottom = height_ - 1;
    const bool first = shown_.empty();
    if (!first) {
        left = width_, top = height_, right = -1, bottom = -1;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (indices[Pixel(x, y)] != shown_[Pixel(x, y)]) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        if (right < 0) left = top = right = bottom = 0;  // nothing changed: one transparent pixel
    }
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.DelayTime = delay_;
    control.TransparentColor = first ? NO_TRANSPARENT_COLOR : transparent_;
    GifByteType extension[4];
    const std::size_t length = EGifGCBToExtension(&control, extension);
    const int width = right - left + 1;
    if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_OK ||
        EGifPutImageDesc(gif_, left, top, width, bottom - top + 1, false, nullptr) != GIF_OK)
        Fail(EIO);
    std::vector<GifPixelType> line(static_cast<std::size_t>(width));
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const unsigned char index = indices[Pixel(x, y)];
            line[static_cast<std::size_t>(x - left)] = !first && index == shown_[Pixel(x, y)] ? transparent_ : index;
        }
        if (EGifPutLine(gif_, line.data(), width) != GIF_OK) Fail(EIO);
    }
    shown_ = std::move(indices);
    ++frames_;
}

void GifAnimation::Finish() {
    if (!gif_) return;
    int error = 0;
    const int closed = EGifCloseFile(gif_, &error);  // writes the trailer; the descriptor stays open
    gif_ = nullptr;
    if (closed != GIF_OK || writeErrno_) Fail(EIO);
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    const bool failed = ::close(fd) != 0 || ::rename(temporary_.c_str(), path_.c_str()) != 0;
    const int failure = errno;
    if (failed) ::unlink(temporary_.c_str());
    ForgetTemporary(temporary_);
    if (failed) throw OutputError(Labelled(LocalIoErrorMessage(failure, path_), path_));
}

}  // namespace glebix::render
