#include "quarn/testing/image.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "quarn/error_trap.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/testing/pump.h"

namespace Quarn {
namespace Testing {

std::ostream& operator<<(std::ostream& out, const Rgba& pixel) {
    return out << "rgba(" << int{pixel.r} << ", " << int{pixel.g} << ", " << int{pixel.b} << ", " << int{pixel.a}
               << ")";
}

namespace {

std::size_t area(int width, int height) {
    if (width < 0 || height < 0) throw std::invalid_argument("Quarn::Testing::Image: negative size");
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

}  // namespace

Image::Image(int width, int height, Rgba fill) : width_(width), height_(height), pixels_(area(width, height), fill) {}

std::size_t Image::index(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        throw std::out_of_range("Quarn::Testing::Image: pixel outside the image");
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
}

Rgba Image::pixel(int x, int y) const { return pixels_[index(x, y)]; }
void Image::set_pixel(int x, int y, Rgba pixel) { pixels_[index(x, y)] = pixel; }

// Rgba is four bytes in r, g, b, a order: the layout of PNG_FORMAT_RGBA.
static_assert(sizeof(Rgba) == 4, "Rgba must be packed for libpng");

void Image::save_png(const std::string& path) const {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width_);
    png.height = static_cast<png_uint_32>(height_);
    png.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&png, path.c_str(), 0, pixels_.data(), 0, nullptr))
        throw std::runtime_error("cannot write " + path + ": " + png.message);
}

namespace {

// libpng's reading state, freed on every way out (it is a no-op once a read
// has finished or failed).
struct PngReader {
    png_image png{};
    PngReader() { png.version = PNG_IMAGE_VERSION; }
    ~PngReader() { png_image_free(&png); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
};

// No X window or screen is larger than 32767 x 32767, but a golden file
// may claim anything: beyond this it is refused instead of allocated.
constexpr std::size_t kMaxPixels = std::size_t{1} << 28;

}  // namespace

Image Image::load_png(const std::string& path) {
    PngReader reader;
    png_image& png = reader.png;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        throw std::runtime_error("cannot read " + path + ": " + png.message);
    if (std::size_t{png.width} * png.height > kMaxPixels)
        throw std::runtime_error("cannot read " + path + ": the image is too large (" + std::to_string(png.width) +
                                 " x " + std::to_string(png.height) + ")");
    png.format = PNG_FORMAT_RGBA;
    Image image(static_cast<int>(png.width), static_cast<int>(png.height));
    if (!png_image_finish_read(&png, nullptr, image.pixels_.data(), 0, nullptr))
        throw std::runtime_error("cannot read " + path + ": " + png.message);
    return image;
}

namespace {

// One colour channel of an X pixel, scaled to 8 bits.
std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = __builtin_ctzl(mask);
    const unsigned long maximum = mask >> shift;
    return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / maximum);
}

struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

}  // namespace

Image capture(const Frame::FrameBase& frame) {
    if (!_quarn_display) throw std::runtime_error("Quarn::Testing::capture: no display");
    const Window window = frame._quarn_backing->window;
    XWindowAttributes attributes{};
    if (!wait_shown(frame) || !XGetWindowAttributes(_quarn_display, window, &attributes))
        throw std::runtime_error("Quarn::Testing::capture: the frame is not shown (call set_show first)");
    // A window reaching beyond the screen is a BadMatch, which must not end the test.
    std::unique_ptr<XImage, ImageDeleter> shot;
    const int error = _quarn_trap_x_errors([&] {
        shot.reset(XGetImage(_quarn_display, window, 0, 0, static_cast<unsigned int>(attributes.width),
                             static_cast<unsigned int>(attributes.height), AllPlanes, ZPixmap));
    });
    if (error != Success || !shot)
        throw std::runtime_error("Quarn::Testing::capture: cannot read the frame (is it inside the screen?)");
    Image image(attributes.width, attributes.height);
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(shot.get(), x, y);
            image.set_pixel(x, y,
                            Rgba{channel(pixel, shot->red_mask), channel(pixel, shot->green_mask),
                                 channel(pixel, shot->blue_mask), 255});
        }
    }
    return image;
}

namespace {

int difference(const Rgba& x, const Rgba& y) {
    return std::max({std::abs(x.r - y.r), std::abs(x.g - y.g), std::abs(x.b - y.b), std::abs(x.a - y.a)});
}

// NAME.png -> NAME.<suffix>.png, beside it.
std::string sibling(const std::string& png_path, const char* suffix) {
    const std::string stem = png_path.size() > 4 && png_path.compare(png_path.size() - 4, 4, ".png") == 0
                                 ? png_path.substr(0, png_path.size() - 4)
                                 : png_path;
    return stem + "." + suffix + ".png";
}

// PNG has no empty images: a 0 x 0 one is compared, but not written.
void save_unless_empty(const Image& image, const std::string& path) {
    if (image.width() > 0 && image.height() > 0) image.save_png(path);
}

bool updating_goldens() {
    const char* update = std::getenv("QUARN_UPDATE_GOLDEN");
    return update && std::strcmp(update, "1") == 0;
}

}  // namespace

long compare(const Image& actual, const std::string& golden_png_path, int tolerance) {
    if (updating_goldens()) {
        save_unless_empty(actual, golden_png_path);
        return 0;
    }
    Image golden;
    try {
        golden = Image::load_png(golden_png_path);
    } catch (const std::runtime_error& error) {
        save_unless_empty(actual, sibling(golden_png_path, "actual"));
        throw std::runtime_error(std::string(error.what()) + " (QUARN_UPDATE_GOLDEN=1 writes it)");
    }
    long differing = 0;
    Image diff(actual.width(), actual.height());
    if (golden.width() != actual.width() || golden.height() != actual.height()) {
        differing = std::max(static_cast<long>(actual.width()) * actual.height(),
                             static_cast<long>(golden.width()) * golden.height());
        // All red, as large as the larger of the two.
        diff = Image(std::max(actual.width(), golden.width()), std::max(actual.height(), golden.height()),
                     Rgba{255, 0, 0, 255});
    } else {
        for (int y = 0; y < actual.height(); ++y) {
            for (int x = 0; x < actual.width(); ++x) {
                const Rgba pixel = actual.pixel(x, y);
                if (difference(pixel, golden.pixel(x, y)) > tolerance) {
                    ++differing;
                    diff.set_pixel(x, y, Rgba{255, 0, 0, 255});
                } else {
                    // The unchanged picture, faded, so the red stands out.
                    const auto grey = static_cast<std::uint8_t>((pixel.r + pixel.g + pixel.b) / 6);
                    diff.set_pixel(x, y, Rgba{grey, grey, grey, 255});
                }
            }
        }
    }
    if (differing > 0) {
        save_unless_empty(actual, sibling(golden_png_path, "actual"));
        save_unless_empty(diff, sibling(golden_png_path, "diff"));
    }
    return differing;
}

}  // namespace Testing
}  // namespace Quarn
