#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace Quarn {
namespace Frame {
class FrameBase;
}

namespace Testing {

/// One pixel: red, green, blue and alpha, 0 to 255 each.
struct Rgba {
    std::uint8_t r = 0;    ///< Red.
    std::uint8_t g = 0;    ///< Green.
    std::uint8_t b = 0;    ///< Blue.
    std::uint8_t a = 255;  ///< Alpha: 255 is opaque, as every captured pixel.
};
inline bool operator==(const Rgba& x, const Rgba& y) { return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a; }
inline bool operator!=(const Rgba& x, const Rgba& y) { return !(x == y); }
/// Prints rgba(r, g, b, a), so a failed comparison in a test reads well.
std::ostream& operator<<(std::ostream& out, const Rgba& pixel);

/// An RGBA picture: a capture of a frame, or a PNG file.
class Image {
public:
    /// An empty image (0 x 0).
    Image() = default;
    /// A `width` x `height` image, every pixel `fill`.
    Image(int width, int height, Rgba fill = Rgba());

    int width() const { return width_; }    ///< Width in pixels.
    int height() const { return height_; }  ///< Height in pixels.
    /// The pixel at column `x`, row `y` (row 0 at the top); throws
    /// std::out_of_range outside the image.
    Rgba pixel(int x, int y) const;
    /// Changes one pixel; throws std::out_of_range outside the image.
    void set_pixel(int x, int y, Rgba pixel);

    /// Writes the image as an 8-bit RGBA PNG; throws std::runtime_error on failure.
    void save_png(const std::string& path) const;
    /// Reads any PNG as RGBA; throws std::runtime_error when it cannot.
    static Image load_png(const std::string& path);

private:
    std::size_t index(int x, int y) const;

    int width_ = 0;
    int height_ = 0;
    std::vector<Rgba> pixels_;
};

/// The frame's pixels as the server shows them (after its last draw()), read
/// back from the X server. Waits (up to 10 s, see wait_shown) until the frame
/// is shown; throws std::runtime_error when it never is, or reaches beyond
/// the screen.
Image capture(const Frame::FrameBase& frame);

/// Counts the pixels of `actual` that differ from the PNG at `golden_png_path`
/// by more than `tolerance` in any channel; a different size counts every
/// pixel. When any differ it writes NAME.actual.png and NAME.diff.png (the
/// differing pixels in red) beside the golden NAME.png, for a failed CI run to
/// show. With QUARN_UPDATE_GOLDEN=1 in the environment it writes the golden
/// instead and returns 0. A missing golden is written as NAME.actual.png and
/// reported by throwing std::runtime_error.
long compare(const Image& actual, const std::string& golden_png_path, int tolerance);

}  // namespace Testing
}  // namespace Quarn
