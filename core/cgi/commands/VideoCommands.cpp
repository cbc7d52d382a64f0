// Video modes and encoding of both streams.
#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/VideoRules.h"

namespace ky::cgi {
namespace {

// ---- video mode, standard and profile ----------------------------------------------
constexpr std::array kVideoFields{
    KY_FIELD(VideoAttr, videomode),
    KY_FIELD(VideoAttr, vinorm),
    KY_FIELD(VideoAttr, profile),
    KY_FIELD_RO(VideoAttr, maxchn),
};
constexpr RecordInfo kVideoAttr{"VideoAttr", sizeof(VideoAttr), kVideoFields};
#define F(name) FieldIndex(kVideoFields, #name)
constexpr KeySpec kVideoKeys[] = {
    {"var videomode=", F(videomode), Conv::Int},
    {"var profile=", F(profile), Conv::Int},
    {"var maxchn=", F(maxchn), Conv::Int},
};
#undef F

// "P" is the 50 Hz standard; any other value, or none, is 60 Hz.
void VinormParse(const CommandDesc&, const char* reply, uint32_t capacity, void* rec) {
    CCgiClient client;
    static_cast<VideoAttr*>(rec)->vinorm = client.GetValue(reply, capacity, "var vinorm=") == "P" ? 50 : 60;
}

bool ComposeVideo(const CommandDesc&, const void* rec, std::string& text) {
    const auto* v = static_cast<const VideoAttr*>(rec);
    text = "GET /cgi-bin/ky7200/param.cgi?cmd=setvideoattr&-profile=" + std::to_string(v->profile) +
           (v->vinorm == 50 ? "&-vinorm=P" : "&-vinorm=N") + "&-videomode=" + std::to_string(v->videomode);
    return true;
}

constexpr CommandDesc kGetVideoAttr{
    .name = "GetVideoAttr",
    .record = &kVideoAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getvideoattr",
    .keys = kVideoKeys,
    .parse = VinormParse,
};
// The camera may restart its encoder before it answers: a connection closed
// (or silent) without a word counts as done, a refusal as a failure.
constexpr CommandDesc kSetVideoAttr{
    .name = "SetVideoAttr",
    .record = &kVideoAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setvideoattr&-profile=%d&-vinorm=P&-videomode=%d",
    .exchange = Exchange::AnswerIfAny,
    .compose = ComposeVideo,
};

// ---- stream encoding -------------------------------------------------------------------
constexpr std::array kVencFields{
    KY_FIELD_RO(VencAttr, stream), KY_FIELD(VencAttr, bps),       KY_FIELD(VencAttr, fps),
    KY_FIELD(VencAttr, gop),       KY_FIELD(VencAttr, brmode),    KY_FIELD(VencAttr, imagegrade),
    KY_FIELD_RO(VencAttr, width),  KY_FIELD_RO(VencAttr, height),
};
constexpr RecordInfo kVencAttr{"VencAttr", sizeof(VencAttr), kVencFields};
#define F(name) FieldIndex(kVencFields, #name)
// Stream s is channel 11 + s and key index s + 1.
constexpr KeySpec kVencKeys[] = {
    {"var bps_%d=", F(bps), Conv::Int, nullptr, true, 1, -1, F(stream)},
    {"var fps_%d=", F(fps), Conv::IntAlways, nullptr, true, 1, -1, F(stream)},
    {"var gop_%d=", F(gop), Conv::Int, nullptr, true, 1, -1, F(stream)},
    {"var brmode_%d=", F(brmode), Conv::OnOffAlways, "1", true, 1, -1, F(stream)},
    {"var imagegrade_%d=", F(imagegrade), Conv::Int, nullptr, true, 1, -1, F(stream)},
    {"var width_%d=", F(width), Conv::Int, nullptr, true, 1, -1, F(stream)},
    {"var height_%d=", F(height), Conv::Int, nullptr, true, 1, -1, F(stream)},
};
constexpr ArgSpec kVencGetArgs[] = {{F(stream), Enc::Raw, 0, 11}};
constexpr ArgSpec kVencSetArgs[] = {{F(stream), Enc::Raw, 0, 11}, {F(bps)},        {F(fps)},
                                    {F(brmode), Enc::Flag},       {F(imagegrade)}, {F(gop)}};
#undef F

int StreamZeroOrOne(const CommandDesc&, void* rec) {
    const int32_t s = static_cast<const VencAttr*>(rec)->stream;
    return s == 0 || s == 1 ? 0 : -1;
}

constexpr CommandDesc kGetVencAttr{
    .name = "GetVencAttr",
    .record = &kVencAttr,
    .request = "GET /cgi-bin/ky7200/getvencattr.cgi?-chn=%d",
    .args = kVencGetArgs,
    .keys = kVencKeys,
    .prepare = StreamZeroOrOne,
};
constexpr CommandDesc kSetVencAttr{
    .name = "SetVencAttr",
    .record = &kVencAttr,
    .request =
        "GET /web/cgi-bin/ky7200/param.cgi?cmd=setvencattr&-chn=%d&-bps=%d&-fps=%d&-brmode=%d"
        "&-imagegrade=%d&-gop=%d",
    .args = kVencSetArgs,
    .exchange = Exchange::AnswerIfAny,
    .prepare = StreamZeroOrOne,
};

constexpr const CommandDesc* kCommands[] = {&kGetVideoAttr, &kSetVideoAttr, &kGetVencAttr, &kSetVencAttr};

// ---- pages -------------------------------------------------------------------------
void VencPreset(void* rec, const PageOptions& options) { static_cast<VencAttr*>(rec)->stream = options.stream; }

// The 25 fps limit follows the camera's video standard; without a camera at
// hand the standard is taken as 60 Hz, as an unreported one reads.
const char* VencValidate(const void* rec, const PageContext& context) {
    VideoAttr video{};
    video.vinorm = 60;
    if (context.target != nullptr) RunCommand(kGetVideoAttr, *context.target, &video, context.timeoutMs);
    return CheckVencAttr(*static_cast<const VencAttr*>(rec), video.vinorm);
}

// The standard is read back as 50 or 60 and the mode is a positive number.
const char* VideoValidate(const void* rec, const PageContext&) {
    const auto* v = static_cast<const VideoAttr*>(rec);
    if (v->vinorm != 50 && v->vinorm != 60) return "The video standard must be 50 or 60!";
    return v->videomode > 0 ? nullptr : "Please select the video mode!";
}

constexpr const CommandDesc* kVideoGets[] = {&kGetVideoAttr};
constexpr const CommandDesc* kVideoSets[] = {&kSetVideoAttr};
constexpr PageDesc kVideoPage{"video",
                              "video mode number, vinorm (50 or 60 Hz), profile (0 H264 baseline, 1 main, 2 high, "
                              "3 H265 main)",
                              &kVideoAttr,
                              kVideoGets,
                              kVideoSets,
                              nullptr,
                              VideoValidate};
constexpr const CommandDesc* kVencGets[] = {&kGetVencAttr};
constexpr const CommandDesc* kVencSets[] = {&kSetVencAttr};
constexpr PageDesc kVencPage{
    "venc",       "stream encoding (--stream 0|1): bps, fps, gop, brmode (0 CBR, 1 VBR), imagegrade 1-6",
    &kVencAttr,   kVencGets,
    kVencSets,    VencPreset,
    VencValidate, 2};

constexpr const PageDesc* kPages[] = {&kVideoPage, &kVencPage};

}   // namespace

std::span<const CommandDesc* const> VideoCommands() { return kCommands; }
std::span<const PageDesc* const> VideoPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetVideoAttr, VideoAttr, ky::cgi::kGetVideoAttr)
KY_DEFINE_COMMAND(SetVideoAttr, VideoAttr, ky::cgi::kSetVideoAttr)
KY_DEFINE_COMMAND(GetVencAttr, VencAttr, ky::cgi::kGetVencAttr)
KY_DEFINE_COMMAND(SetVencAttr, VencAttr, ky::cgi::kSetVencAttr)
