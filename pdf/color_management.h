// Colour as colour-managed renderers show it: CMYK and Lab colours into
// sRGB through ICC profiles (relative colorimetric, with black point
// compensation). CMYK goes through the system's default CMYK profile, a
// file named when the converter is built; where it is missing, CMYK is
// not managed and the engine's own arithmetic stands.
#ifndef PCLXL_PDF_COLOR_MANAGEMENT_H
#define PCLXL_PDF_COLOR_MANAGEMENT_H

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pclxl::pdf {

class ColorTransforms {
  public:
    // The process's transforms, made on first use; safe to share between
    // threads.
    static const ColorTransforms &get();

    bool cmyk_managed() const { return cmyk_ != nullptr; }
    // Components 0..1 in, 0..1 out.
    void cmyk(const float in[4], float out[3]) const;
    void lab(const float in[3], float out[3]) const; // L 0..100, a and b as they are
    // `pixels` CMYK pixels of 4 bytes (5 with alpha) to RGB ones of 3 (4).
    void cmyk_pixels(const uint8_t *in, uint8_t *out, size_t pixels, bool alpha) const;

    ColorTransforms(const ColorTransforms &) = delete;
    ColorTransforms &operator=(const ColorTransforms &) = delete;

  private:
    ColorTransforms();
    ~ColorTransforms();
    void *cmyk_ = nullptr, *cmyk8_ = nullptr, *cmyka8_ = nullptr, *lab_ = nullptr;
};

// The transform of a profile embedded in a document: its gray, RGB or
// CMYK colours into sRGB, as ColorTransforms does with the default ones.
class ProfileTransform {
  public:
    // Null when the bytes are no profile of a space with `components`
    // components (1, 3 or 4) that converts to sRGB.
    static std::unique_ptr<ProfileTransform> from(const unsigned char *data, size_t size,
                                                  int components);
    ~ProfileTransform();
    int components() const { return components_; }
    // Components 0..1 in, 0..1 out.
    void rgb(const float *in, float out[3]) const;

    ProfileTransform(const ProfileTransform &) = delete;
    ProfileTransform &operator=(const ProfileTransform &) = delete;

  private:
    ProfileTransform(void *transform, int components)
        : transform_(transform), components_(components) {}
    void *transform_;
    int components_;
};

} // namespace pclxl::pdf

#endif
