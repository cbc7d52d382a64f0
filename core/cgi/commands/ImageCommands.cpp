// Picture adjustments, IR-cut, infrared and lamp.
#include <strings.h>

#include <cstdlib>

#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/ImageRules.h"

namespace ky::cgi {
namespace {

constexpr std::array kImageFields{
    KY_FIELD_RO(ImageAttr, display_mode),
    KY_FIELD(ImageAttr, brightness),
    KY_FIELD(ImageAttr, saturation),
    KY_FIELD_RO(ImageAttr, sharpness),
    KY_FIELD(ImageAttr, contrast),
    KY_FIELD_RO(ImageAttr, hue),
    KY_FIELD_RO(ImageAttr, wdr),
    KY_FIELD_RO(ImageAttr, wdrvalue),
    KY_FIELD_RO(ImageAttr, night),
    KY_FIELD_RO(ImageAttr, shutter),
    KY_FIELD_RO(ImageAttr, flash_shutter),
    KY_FIELD(ImageAttr, flip),
    KY_FIELD(ImageAttr, mirror),
    KY_FIELD_RO(ImageAttr, gc),
    KY_FIELD_RO(ImageAttr, ae),
    KY_FIELD(ImageAttr, targety),
    KY_FIELD_RO(ImageAttr, noise),
    KY_FIELD_RO(ImageAttr, gamma),
    KY_FIELD_RO(ImageAttr, aemode),
    KY_FIELD(ImageAttr, imgmode),
    KY_FIELD_RO(ImageAttr, ratioslope),
    KY_FIELD_RO(ImageAttr, histoffset),
    KY_FIELD_RO(ImageAttr, defag),
    KY_FIELD(ImageAttr, saradc_switch_value),
    KY_FIELD(ImageAttr, infraredstat),
    KY_FIELD(ImageAttr, lamp_mode),
};
constexpr RecordInfo kImageAttr{"ImageAttr", sizeof(ImageAttr), kImageFields};
#define F(name) FieldIndex(kImageFields, #name)
// ae, the three 65535 defaults and infraredstat follow rules of their own
// (ImageParse).
constexpr KeySpec kImageKeys[] = {
    {"var display_mode=", F(display_mode), Conv::Int},
    {"var brightness=", F(brightness), Conv::Int},
    {"var saturation=", F(saturation), Conv::Int},
    {"var sharpness=", F(sharpness), Conv::Int},
    {"var contrast=", F(contrast), Conv::Int},
    {"var hue=", F(hue), Conv::IntAlways},
    {"var wdr=", F(wdr), Conv::OnOff},
    {"var wdrvalue=", F(wdrvalue), Conv::Int},
    {"var night=", F(night), Conv::OnOff},
    {"var shutter=", F(shutter), Conv::Int},
    {"var flash_shutter=", F(flash_shutter), Conv::Int},
    {"var flip=", F(flip), Conv::OnOff},
    {"var mirror=", F(mirror), Conv::OnOff},
    {"var gc=", F(gc), Conv::Int},
    {"var targety=", F(targety), Conv::Int},
    {"var noise=", F(noise), Conv::Int},
    {"var gamma=", F(gamma), Conv::Int},
    {"var aemode=", F(aemode), Conv::Int},
    {"var imgmode=", F(imgmode), Conv::Int},
    {"var saradc_switch_value=", F(saradc_switch_value), Conv::Int},
    {"var lamp_mode=", F(lamp_mode), Conv::Int},
};
constexpr ArgSpec kBrightnessArgs[] = {{F(brightness)}};
constexpr ArgSpec kSaturationArgs[] = {{F(saturation)}};
constexpr ArgSpec kContrastArgs[] = {{F(contrast)}};
constexpr ArgSpec kExposureArgs[] = {{F(targety)}};
#undef F

void ImageParse(const CommandDesc&, const char* reply, uint32_t capacity, void* rec) {
    auto* a = static_cast<ImageAttr*>(rec);
    CCgiClient client;
    const std::string ae = client.GetValue(reply, capacity, "var ae=");
    a->ae = ae.empty() ? -1 : std::atoi(ae.c_str());
    if (a->ae > 1) a->ae = 1;
    const auto orMissing = [&](const char* key) {
        const std::string v = client.GetValue(reply, capacity, key);
        return v.empty() ? 65535 : std::atoi(v.c_str());
    };
    a->ratioslope = orMissing("var ratioslope=");
    a->histoffset = orMissing("var histoffset=");
    a->defag = orMissing("var defag=");
    const std::string ir = client.GetValue(reply, capacity, "var infraredstat=");
    if (!ir.empty())
        a->infraredstat = strcasecmp(ir.c_str(), "open") == 0 ? 1 : strcasecmp(ir.c_str(), "close") == 0 ? 0 : 2;
}

// The grouped write: infrared only in the normal night-vision mode, then the
// lamp, the IR-cut value and the picture settings.
bool ComposeImage(const CommandDesc&, const void* rec, std::string& text) {
    const auto* a = static_cast<const ImageAttr*>(rec);
    const auto n = [](int32_t v) { return std::to_string(v); };
    const auto onOff = [](int32_t v) { return v == 1 ? "on" : "off"; };
    text = "GET /cgi-bin/ky7200/param.cgi?";
    if (a->lamp_mode == 0)
        text += a->infraredstat == 0   ? "cmd=setinfrared&-infraredstat=close"
                : a->infraredstat == 1 ? "cmd=setinfrared&-infraredstat=open"
                                       : "cmd=setinfrared&-infraredstat=auto";
    text += "&cmd=setlampattrex&-lamp_mode=" + n(a->lamp_mode);
    text += "&cmd=setircutattr&-saradc_switch_value=" + n(a->saradc_switch_value);
    text += "&cmd=setimageattr&-brightness=" + n(a->brightness) + "&-saturation=" + n(a->saturation) +
            "&-contrast=" + n(a->contrast) + "&-targety=" + n(a->targety);
    text += std::string("&-flip=") + onOff(a->flip) + "&-mirror=" + onOff(a->mirror);
    text += "&-imgmode=" + n(a->imgmode) + "&-image_type=" + n(ImageType(*a));
    return true;
}

template <int32_t ImageAttr::*Field>
int SliderOnly(const CommandDesc&, void* rec) {
    return IsSliderValue(static_cast<const ImageAttr*>(rec)->*Field) ? 0 : -1;
}

constexpr CommandDesc kGetImageAttr{
    .name = "GetImageAttr",
    .record = &kImageAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getimageattr&cmd=getircutattr&cmd=getinfrared&cmd=getlampattrex",
    .keys = kImageKeys,
    .parse = ImageParse,
};
constexpr CommandDesc kSetImageAttr{
    .name = "SetImageAttr",
    .record = &kImageAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setinfrared&-infraredstat=%s&cmd=setlampattrex&-lamp_mode=%d"
        "&cmd=setircutattr&-saradc_switch_value=%d&cmd=setimageattr&-brightness=%d&-saturation=%d"
        "&-contrast=%d&-targety=%d&-flip=%s&-mirror=%s&-imgmode=%d&-image_type=%d",
    .compose = ComposeImage,
};
constexpr CommandDesc kSetBrightness{
    .name = "SetBrightness",
    .record = &kImageAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setimageattr&-brightness=%d",
    .args = kBrightnessArgs,
    .prepare = SliderOnly<&ImageAttr::brightness>,
};
constexpr CommandDesc kSetSaturation{
    .name = "SetSaturation",
    .record = &kImageAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setimageattr&-saturation=%d",
    .args = kSaturationArgs,
    .prepare = SliderOnly<&ImageAttr::saturation>,
};
constexpr CommandDesc kSetContrast{
    .name = "SetContrast",
    .record = &kImageAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setimageattr&-contrast=%d",
    .args = kContrastArgs,
    .prepare = SliderOnly<&ImageAttr::contrast>,
};
constexpr CommandDesc kSetExposure{
    .name = "SetExposure",
    .record = &kImageAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setimageattr&-targety=%d",
    .args = kExposureArgs,
    .prepare = SliderOnly<&ImageAttr::targety>,
};
// The camera answers with its defaults in the read's keys; nobody uses them.
constexpr CommandDesc kRestoreImageDefaults{
    .name = "RestoreImageDefaults",
    .record = nullptr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setimageattr&-default=on",
    .fixedTimeoutMs = 6000,
    .needsRecord = false,
};

constexpr const CommandDesc* kCommands[] = {&kGetImageAttr, &kSetImageAttr, &kSetBrightness,       &kSetSaturation,
                                            &kSetContrast,  &kSetExposure,  &kRestoreImageDefaults};

// ---- pages -------------------------------------------------------------------------
const char* ImageValidate(const void* rec, const PageContext&) {
    return CheckImageAttr(*static_cast<const ImageAttr*>(rec));
}

constexpr const CommandDesc* kImageGets[] = {&kGetImageAttr};
constexpr const CommandDesc* kImageSets[] = {&kSetImageAttr};
constexpr PageDesc kImagePage{"image",
                              "brightness, saturation, contrast, targety (exposure), flip, mirror, imgmode, "
                              "lamp_mode (0 normal, 1 full colour, 2 intelligent), infraredstat (0 off, 1 on, "
                              "2 auto), saradc_switch_value (IR-cut 1-1024)",
                              &kImageAttr,
                              kImageGets,
                              kImageSets,
                              nullptr,
                              ImageValidate};

constexpr const PageDesc* kPages[] = {&kImagePage};

}   // namespace

std::span<const CommandDesc* const> ImageCommands() { return kCommands; }
std::span<const PageDesc* const> ImagePages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetImageAttr, ImageAttr, ky::cgi::kGetImageAttr)
KY_DEFINE_COMMAND(SetImageAttr, ImageAttr, ky::cgi::kSetImageAttr)
KY_DEFINE_COMMAND(SetBrightness, ImageAttr, ky::cgi::kSetBrightness)
KY_DEFINE_COMMAND(SetSaturation, ImageAttr, ky::cgi::kSetSaturation)
KY_DEFINE_COMMAND(SetContrast, ImageAttr, ky::cgi::kSetContrast)
KY_DEFINE_COMMAND(SetExposure, ImageAttr, ky::cgi::kSetExposure)
KY_DEFINE_COMMAND(RestoreImageDefaults, NoRecord, ky::cgi::kRestoreImageDefaults)
