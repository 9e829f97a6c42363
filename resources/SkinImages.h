#pragma once

// The skin images, embedded as complete PNG files. Every image is listed once here, and
// only here (the build, the layout, the panels and the skin generator all read this
// list); X(name, width, height, hasAlpha, frameHeight) with frameHeight 0 for single
// images.
// Each also exists as name_2x: the same picture drawn with twice the pixels each way
// (strips: the same frame count, frames twice the size), for scaled windows.
#define DUNSKARA_SKIN_IMAGES(X)                               \
    X (editor_background,            914,   650, false,   0) \
    X (knob_attack_strip,            105, 10605, true,  105) \
    X (knob_release_strip,           105, 10605, true,  105) \
    X (knob_mix_strip,                98,  7938, true,   98) \
    X (knob_small_strip,              73,  5913, true,   73) \
    X (fader_thumb_thresh,            45,    77, true,    0) \
    X (fader_thumb_ratio,             45,    77, true,    0) \
    X (limiter_switch_off,            35,    55, true,    0) \
    X (limiter_switch_on,             35,    55, true,    0) \
    X (channel_button_off,            30,    30, true,    0) \
    X (channel_button_on,             30,    30, true,    0) \
    X (solo_button_off,               40,    18, true,    0) \
    X (solo_button_on,                40,    18, true,    0) \
    X (meter_level_needle_strip,     135,  8383, true,   83) \
    X (meter_reduction_needle_strip, 135,  8383, true,   83) \
    X (gain_thumb,                    49,    34, true,    0) \
    X (mix_thumb,                     68,    45, true,    0) \
    X (power_button_off,              74,    86, true,    0) \
    X (power_button_on,               74,    86, true,    0) \
    X (crossover_handle,              58,    68, true,    0) \
    X (slider_thumb_horizontal,       24,    15, true,    0) \
    X (slider_thumb_vertical,         15,    24, true,    0) \
    X (rotary_default_strip,          30,  1160, true,    0)

namespace skin
{
#define DUNSKARA_DECLARE_SKIN_IMAGE(name, w, h, alpha, frame) \
    extern const unsigned char name[];                        \
    extern const int name##Size;                              \
    extern const unsigned char name##_2x[];                   \
    extern const int name##_2xSize;
DUNSKARA_SKIN_IMAGES (DUNSKARA_DECLARE_SKIN_IMAGE)
#undef DUNSKARA_DECLARE_SKIN_IMAGE
} // namespace skin

// Apart from the byte arrays, so that the names do not hide one another.
namespace skinimage
{
// Names an image of the list, for code that wants its bytes or its format.
enum class Id
{
#define DUNSKARA_SKIN_IMAGE_ID(name, w, h, alpha, frame) name,
    DUNSKARA_SKIN_IMAGES (DUNSKARA_SKIN_IMAGE_ID)
#undef DUNSKARA_SKIN_IMAGE_ID
};

// The listed format of an image, in the pixels of the 1x image.
struct Format
{
    const char* name;
    int width;
    int height;
    bool alpha;
    int frameHeight; // 0: a single image

    // The height of what is shown at a time: one frame of a strip, or the whole image.
    constexpr int shownHeight() const noexcept { return frameHeight > 0 ? frameHeight : height; }
    constexpr int frames() const noexcept { return frameHeight > 0 ? height / frameHeight : 1; }
};

inline constexpr Format formats[] = {
#define DUNSKARA_SKIN_IMAGE_FORMAT(name, w, h, alpha, frame) { #name, w, h, alpha, frame },
    DUNSKARA_SKIN_IMAGES (DUNSKARA_SKIN_IMAGE_FORMAT)
#undef DUNSKARA_SKIN_IMAGE_FORMAT
};

constexpr const Format& formatOf (Id id) noexcept { return formats[static_cast<int> (id)]; }
} // namespace skinimage
