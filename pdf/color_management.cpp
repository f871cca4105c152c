#include "color_management.h"

#include <lcms2.h>

#include <algorithm>

#ifndef PCLXL_CMYK_PROFILE
#define PCLXL_CMYK_PROFILE "/usr/share/color/icc/ghostscript/default_cmyk.icc"
#endif

namespace pclxl::pdf {

namespace {

// Transforms are shared between threads, so they keep no cache of their own.
constexpr cmsUInt32Number kFlags = cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE;

void *transform(cmsHPROFILE from, cmsUInt32Number in, cmsHPROFILE to, cmsUInt32Number out,
                cmsUInt32Number extra = 0) {
    if (!from || !to)
        return nullptr;
    return cmsCreateTransform(from, in, to, out, INTENT_RELATIVE_COLORIMETRIC, kFlags | extra);
}

// Float transforms leave colours outside sRGB outside 0..1.
void clamp(float rgb[3]) {
    for (int i = 0; i < 3; ++i)
        rgb[i] = rgb[i] >= 0 ? std::min(rgb[i], 1.0f) : 0.0f;
}

} // namespace

const ColorTransforms &ColorTransforms::get() {
    static const ColorTransforms transforms;
    return transforms;
}

ColorTransforms::ColorTransforms() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHPROFILE cmyk = cmsOpenProfileFromFile(PCLXL_CMYK_PROFILE, "r");
    if (cmyk && cmsGetColorSpace(cmyk) == cmsSigCmykData) {
        cmyk_ = transform(cmyk, TYPE_CMYK_FLT, srgb, TYPE_RGB_FLT);
        cmyk8_ = transform(cmyk, TYPE_CMYK_8, srgb, TYPE_RGB_8);
        cmyka8_ = transform(cmyk, TYPE_CMYKA_8, srgb, TYPE_RGBA_8, cmsFLAGS_COPY_ALPHA);
        if (!cmyk_ || !cmyk8_ || !cmyka8_) {
            for (void *t : {cmyk_, cmyk8_, cmyka8_})
                if (t)
                    cmsDeleteTransform(t);
            cmyk_ = cmyk8_ = cmyka8_ = nullptr;
        }
    }
    lab_ = transform(lab, TYPE_Lab_FLT, srgb, TYPE_RGB_FLT);
    for (cmsHPROFILE p : {srgb, lab, cmyk})
        if (p)
            cmsCloseProfile(p);
}

ColorTransforms::~ColorTransforms() {
    for (void *t : {cmyk_, cmyk8_, cmyka8_, lab_})
        if (t)
            cmsDeleteTransform(t);
}

void ColorTransforms::cmyk(const float in[4], float out[3]) const {
    // The profile's CMYK runs 0..100.
    const float v[4] = {std::clamp(in[0], 0.0f, 1.0f) * 100, std::clamp(in[1], 0.0f, 1.0f) * 100,
                        std::clamp(in[2], 0.0f, 1.0f) * 100, std::clamp(in[3], 0.0f, 1.0f) * 100};
    cmsDoTransform(cmyk_, v, out, 1);
    clamp(out);
}

void ColorTransforms::lab(const float in[3], float out[3]) const {
    if (!lab_) {
        out[0] = out[1] = out[2] = std::clamp(in[0] / 100, 0.0f, 1.0f);
        return;
    }
    cmsDoTransform(lab_, in, out, 1);
    clamp(out);
}

void ColorTransforms::cmyk_pixels(const uint8_t *in, uint8_t *out, size_t pixels,
                                  bool alpha) const {
    constexpr size_t kChunk = 1 << 16; // lcms counts pixels in 32 bits
    void *t = alpha ? cmyka8_ : cmyk8_;
    const size_t in_n = alpha ? 5 : 4, out_n = alpha ? 4 : 3;
    for (size_t at = 0; at < pixels; at += kChunk) {
        const size_t n = std::min(kChunk, pixels - at);
        cmsDoTransform(t, in + at * in_n, out + at * out_n, static_cast<cmsUInt32Number>(n));
    }
}

std::unique_ptr<ProfileTransform> ProfileTransform::from(const unsigned char *data, size_t size,
                                                         int components) {
    if (!data || size < 128 || size > 0xFFFFFFFFu)
        return nullptr;
    cmsHPROFILE profile = cmsOpenProfileFromMem(data, static_cast<cmsUInt32Number>(size));
    if (!profile)
        return nullptr;
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile);
    cmsUInt32Number format = 0;
    if (components == 4 && space == cmsSigCmykData)
        format = TYPE_CMYK_FLT;
    else if (components == 3 && space == cmsSigRgbData)
        format = TYPE_RGB_FLT;
    else if (components == 1 && space == cmsSigGrayData)
        format = TYPE_GRAY_FLT;
    void *t = nullptr;
    if (format) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        t = transform(profile, format, srgb, TYPE_RGB_FLT);
        if (srgb)
            cmsCloseProfile(srgb);
    }
    cmsCloseProfile(profile);
    if (!t)
        return nullptr;
    return std::unique_ptr<ProfileTransform>(new ProfileTransform(t, components));
}

ProfileTransform::~ProfileTransform() { cmsDeleteTransform(transform_); }

void ProfileTransform::rgb(const float *in, float out[3]) const {
    // CMYK runs 0..100 in the transform, gray and RGB 0..1.
    const float scale = components_ == 4 ? 100 : 1;
    float v[4];
    for (int i = 0; i < components_; ++i)
        v[i] = std::clamp(in[i], 0.0f, 1.0f) * scale;
    cmsDoTransform(transform_, v, out, 1);
    clamp(out);
}

} // namespace pclxl::pdf
