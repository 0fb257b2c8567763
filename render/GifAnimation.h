// An animated GIF written frame by frame as a run goes, so memory holds one frame at
// a time. The frames share one palette given at the start; the file loops for ever.
// It is written under a temporary name beside its place and renamed there by Finish,
// so an animation that fails or is abandoned leaves any earlier file as it was.
#pragma once

#include <string>
#include <vector>

#include "Outputs.h"

class QImage;
struct GifFileType;

namespace glebix::render {

class GifAnimation {
public:
    GifAnimation() = default;
    ~GifAnimation();  // abandons an unfinished file
    GifAnimation(const GifAnimation &) = delete;
    GifAnimation &operator=(const GifAnimation &) = delete;

    // Starts the file for frames of `width` x `height` pixels shown `framesPerSecond`
    // times a second (1 to 100), in the colours of `palette` (at most 255, for one more
    // palette entry marks the pixels a frame leaves as they were). Raises
    // GlebixError with the French message and the path.
    void Open(const std::string &path, int width, int height, int framesPerSecond, const std::vector<Rgb> &palette);
    // Appends a frame of the size given to Open; every pixel must be a palette colour.
    // A frame after the first holds only what changed since the one before.
    void AddFrame(const QImage &frame);
    // Ends the file and puts it in its place.
    void Finish();
    // Drops an unfinished file; any earlier file at the path stays.
    void Abandon();
    bool IsOpen() const { return gif_ != nullptr; }
    int FrameCount() const { return frames_; }

private:
    // giflib's output: every byte goes to the file, or the first failure's errno is
    // kept and giflib is told that the write fell short.
    static int WriteBytes(GifFileType *gif, const unsigned char *data, int size);
    [[noreturn]] void Fail(int errnum);
    // The palette index of every pixel of `frame`, row by row.
    std::vector<unsigned char> Indices(const QImage &frame) const;
    std::size_t Pixel(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }

    GifFileType *gif_ = nullptr;
    int fd_ = -1;
    int width_ = 0, height_ = 0, delay_ = 10, frames_ = 0;
    std::string path_, temporary_;
    std::vector<Rgb> palette_;
    int transparent_ = 0;               // the palette index of an unchanged pixel
    std::vector<unsigned char> shown_;  // the indices of the picture the frames so far show
    int writeErrno_ = 0;                // errno of the first failed write
};

}  // namespace glebix::render
