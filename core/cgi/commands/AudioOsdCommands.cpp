// Audio encoding, volumes and OSD.
#include <cstdio>
#include <cstring>

#include "core/cgi/Catalogue.h"
#include "core/cgi/PercentEncode.h"
#include "core/cgi/rules/AudioOsdRules.h"

namespace ky::cgi {
namespace {

// ---- audio -----------------------------------------------------------------------
constexpr std::array kAudioFields{
    KY_FIELD_RO(AudioAttr, stream_a), KY_FIELD(AudioAttr, aeswitch_a), KY_FIELD(AudioAttr, aeformat_a),
    KY_FIELD_RO(AudioAttr, stream_b), KY_FIELD(AudioAttr, aeswitch_b), KY_FIELD(AudioAttr, aeformat_b),
    KY_FIELD(AudioAttr, volume),      KY_FIELD_RO(AudioAttr, aec),     KY_FIELD_RO(AudioAttr, denoise),
    KY_FIELD(AudioAttr, volin_type),  KY_FIELD(AudioAttr, ao_volume),
};
constexpr RecordInfo kAudioAttr{"AudioAttr", sizeof(AudioAttr), kAudioFields};
#define F(name) FieldIndex(kAudioFields, #name)

// Stream index s is channel 11 + s and key index s + 1.
constexpr KeySpec kAencKeysA[] = {
    {"var aeswitch_%d=", F(aeswitch_a), Conv::Int, nullptr, true, 1, -1, F(stream_a)},
    {"var aeformat_%d=", F(aeformat_a), Conv::Text, nullptr, true, 1, -1, F(stream_a)},
};
constexpr KeySpec kAencKeysB[] = {
    {"var aeswitch_%d=", F(aeswitch_b), Conv::Int, nullptr, true, 1, -1, F(stream_b)},
    {"var aeformat_%d=", F(aeformat_b), Conv::Text, nullptr, true, 1, -1, F(stream_b)},
};
constexpr ArgSpec kAencArgsA[] = {{F(stream_a), Enc::Raw, 0, 11}};
constexpr ArgSpec kAencArgsB[] = {{F(stream_b), Enc::Raw, 0, 11}};
constexpr KeySpec kInVolumeKeys[] = {
    {"var volume=", F(volume), Conv::Int},
    {"var aec=", F(aec), Conv::Int},
    {"var denoise=", F(denoise), Conv::Int},
    {"var volin_type=", F(volin_type), Conv::Int},
};
constexpr KeySpec kOutVolumeKeys[] = {{"var ao_volume=", F(ao_volume), Conv::Int}};
#undef F

bool ValidStream(int32_t s) { return s >= 0 && s <= 2; }

int StreamAOnly(const CommandDesc&, void* rec) {
    return ValidStream(static_cast<const AudioAttr*>(rec)->stream_a) ? 0 : -1;
}
int StreamBOnly(const CommandDesc&, void* rec) {
    return ValidStream(static_cast<const AudioAttr*>(rec)->stream_b) ? 0 : -1;
}

// One stream's fragment of the combined write. A format the camera does not
// take refuses the whole write: leaving the fragment out would report success
// for a change that was never sent.
bool EncodingFragment(int32_t stream, int32_t on, const char* format, size_t width, std::string& out) {
    const std::string_view f(format, strnlen(format, width));
    if (!IsAudioFormat(f)) return false;
    out += "cmd=setaencattr&-chn=" + std::to_string(11 + stream) + "&-aeswitch=" + std::to_string(on) +
           "&-aeformat=" + std::string(f);
    return true;
}

bool ComposeAudio(const CommandDesc&, const void* rec, std::string& text) {
    const auto* a = static_cast<const AudioAttr*>(rec);
    if (!ValidStream(a->stream_a) || !ValidStream(a->stream_b)) return false;
    text = "GET /cgi-bin/ky7200/param.cgi?";
    if (!EncodingFragment(a->stream_a, a->aeswitch_a, a->aeformat_a, sizeof a->aeformat_a, text)) return false;
    text += "&";
    if (!EncodingFragment(a->stream_b, a->aeswitch_b, a->aeformat_b, sizeof a->aeformat_b, text)) return false;
    text += "&cmd=setaudioinvolume&-volume=" + std::to_string(a->volume) +
            "&-volin_type=" + std::to_string(a->volin_type) +
            "&cmd=setaudiooutvolume&-volume=" + std::to_string(a->ao_volume);
    return true;
}

constexpr CommandDesc kGetAencAttr{
    .name = "GetAencAttr",
    .record = &kAudioAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getaencattr&-chn=%d",
    .args = kAencArgsA,
    .keys = kAencKeysA,
    .prepare = StreamAOnly,
};
// The same read into the record's second slot.
constexpr CommandDesc kGetAencAttrB{
    .name = "GetAencAttrB",
    .record = &kAudioAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getaencattr&-chn=%d",
    .args = kAencArgsB,
    .keys = kAencKeysB,
    .prepare = StreamBOnly,
};
constexpr CommandDesc kGetAudioInVolume{
    .name = "GetAudioInVolume",
    .record = &kAudioAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getaudioinvolume",
    .keys = kInVolumeKeys,
};
constexpr CommandDesc kGetAudioOutVolume{
    .name = "GetAudioOutVolume",
    .record = &kAudioAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getaudiooutvolume",
    .keys = kOutVolumeKeys,
};
constexpr CommandDesc kSetAudioAttr{
    .name = "SetAudioAttr",
    .record = &kAudioAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?%s&%s&%s&%s",
    .compose = ComposeAudio,
};

// ---- OSD ---------------------------------------------------------------------------
// The time stamp (region 0) has no name; its record view leaves the name out.
constexpr std::array kOsdTimeFields{
    KY_FIELD_RO(OsdRegion, region), KY_FIELD_RO(OsdRegion, x),      KY_FIELD_RO(OsdRegion, y),
    KY_FIELD_RO(OsdRegion, width),  KY_FIELD_RO(OsdRegion, height), KY_FIELD(OsdRegion, show),
    KY_FIELD(OsdRegion, place),
};
constexpr std::array kOsdNameFields{
    KY_FIELD_RO(OsdRegion, region), KY_FIELD_RO(OsdRegion, x),      KY_FIELD_RO(OsdRegion, y),
    KY_FIELD_RO(OsdRegion, width),  KY_FIELD_RO(OsdRegion, height), KY_FIELD(OsdRegion, show),
    KY_FIELD(OsdRegion, place),     KY_FIELD(OsdRegion, name),
};
constexpr RecordInfo kOsdTime{"OsdRegion", sizeof(OsdRegion), kOsdTimeFields};
constexpr RecordInfo kOsdName{"OsdRegion", sizeof(OsdRegion), kOsdNameFields};

#define T(name) FieldIndex(kOsdTimeFields, #name)
#define N(name) FieldIndex(kOsdNameFields, #name)
constexpr KeySpec kOsdTimeKeys[] = {
    {"var x_0=", T(x), Conv::Int},      {"var y_0=", T(y), Conv::Int},       {"var w_0=", T(width), Conv::Int},
    {"var h_0=", T(height), Conv::Int}, {"var show_0=", T(show), Conv::Int}, {"var place_0=", T(place), Conv::Int},
};
constexpr KeySpec kOsdNameKeys[] = {
    {"var x_1=", N(x), Conv::Int},        {"var y_1=", N(y), Conv::Int},       {"var w_1=", N(width), Conv::Int},
    {"var h_1=", N(height), Conv::Int},   {"var show_1=", N(show), Conv::Int}, {"var place_1=", N(place), Conv::Int},
    {"var name_1=", N(name), Conv::Text},
};
constexpr ArgSpec kOsdTimeArgs[] = {{T(show)}, {T(place)}};
constexpr ArgSpec kOsdNameArgs[] = {{N(show)}, {N(place)}, {N(name), Enc::Percent}};
#undef T
#undef N

void UnescapeName(const CommandDesc&, const char*, uint32_t, void* rec) {
    auto* r = static_cast<OsdRegion*>(rec);
    const std::string plain = UnescapeOsdName(std::string_view(r->name, strnlen(r->name, sizeof r->name)));
    CopyText(r->name, sizeof r->name, plain);
}

constexpr CommandDesc kGetOverlayAttr0{
    .name = "GetOverlayAttr0",
    .record = &kOsdTime,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getoverlayattr&-region=0",
    .keys = kOsdTimeKeys,
};
constexpr CommandDesc kGetOverlayAttr1{
    .name = "GetOverlayAttr1",
    .record = &kOsdName,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getoverlayattr&-region=1",
    .keys = kOsdNameKeys,
    .parse = UnescapeName,
};
constexpr CommandDesc kSetOverlayAttr0{
    .name = "SetOverlayAttr0",
    .record = &kOsdTime,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setoverlayattr&-region=0&-show=%d&-place=%d",
    .args = kOsdTimeArgs,
};
constexpr CommandDesc kSetOverlayAttr1{
    .name = "SetOverlayAttr1",
    .record = &kOsdName,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setoverlayattr&-region=1&-show=%d&-place=%d&-name=%s",
    .args = kOsdNameArgs,
};

constexpr const CommandDesc* kCommands[] = {
    &kGetAencAttr,     &kGetAencAttrB,    &kGetAudioInVolume, &kGetAudioOutVolume, &kSetAudioAttr,
    &kGetOverlayAttr0, &kGetOverlayAttr1, &kSetOverlayAttr0,  &kSetOverlayAttr1,
};

// ---- pages -------------------------------------------------------------------------
void AudioPreset(void* rec, const PageOptions&) {
    auto* a = static_cast<AudioAttr*>(rec);
    a->stream_a = 0;
    a->stream_b = 1;
}
const char* AudioValidate(const void* rec, const PageContext&) {
    return CheckAudioAttr(*static_cast<const AudioAttr*>(rec));
}
void OsdTimePreset(void* rec, const PageOptions&) { static_cast<OsdRegion*>(rec)->region = 0; }
void OsdNamePreset(void* rec, const PageOptions&) { static_cast<OsdRegion*>(rec)->region = 1; }
const char* OsdValidate(const void* rec, const PageContext&) {
    return CheckOsdRegion(*static_cast<const OsdRegion*>(rec));
}

constexpr const CommandDesc* kAudioGets[] = {&kGetAencAttr, &kGetAencAttrB, &kGetAudioInVolume, &kGetAudioOutVolume};
constexpr const CommandDesc* kAudioSets[] = {&kSetAudioAttr};
constexpr PageDesc kAudioPage{
    "audio",      "audio on/off and format (g711a, g711u, g726) of both streams, input type and volumes",
    &kAudioAttr,  kAudioGets,
    kAudioSets,   AudioPreset,
    AudioValidate};

constexpr const CommandDesc* kOsdTimeGets[] = {&kGetOverlayAttr0};
constexpr const CommandDesc* kOsdTimeSets[] = {&kSetOverlayAttr0};
constexpr PageDesc kOsdTimePage{"osd-time",   "time stamp OSD: show, place (0-3 TL, TR, BL, BR)",
                                &kOsdTime,    kOsdTimeGets,
                                kOsdTimeSets, OsdTimePreset,
                                OsdValidate};
constexpr const CommandDesc* kOsdNameGets[] = {&kGetOverlayAttr1};
constexpr const CommandDesc* kOsdNameSets[] = {&kSetOverlayAttr1};
constexpr PageDesc kOsdNamePage{"osd-name",   "camera name OSD: show, place (0-3), name (at most 31 bytes)",
                                &kOsdName,    kOsdNameGets,
                                kOsdNameSets, OsdNamePreset,
                                OsdValidate};

constexpr const PageDesc* kPages[] = {&kAudioPage, &kOsdTimePage, &kOsdNamePage};

}   // namespace

std::span<const CommandDesc* const> AudioOsdCommands() { return kCommands; }
std::span<const PageDesc* const> AudioOsdPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetAencAttr, AudioAttr, ky::cgi::kGetAencAttr)
KY_DEFINE_COMMAND(GetAencAttrB, AudioAttr, ky::cgi::kGetAencAttrB)
KY_DEFINE_COMMAND(GetAudioInVolume, AudioAttr, ky::cgi::kGetAudioInVolume)
KY_DEFINE_COMMAND(GetAudioOutVolume, AudioAttr, ky::cgi::kGetAudioOutVolume)
KY_DEFINE_COMMAND(SetAudioAttr, AudioAttr, ky::cgi::kSetAudioAttr)

// The region selects the command: 0 the time stamp, 1 the camera name.
int CCgiClient::GetOverlayAttr(const char* ip, uint16_t port, const char* user, const char* password, OsdRegion* rec,
                               int timeoutMs) {
    if (rec == nullptr || (rec->region != 0 && rec->region != 1)) return -1;
    const auto& cmd = rec->region == 0 ? ky::cgi::kGetOverlayAttr0 : ky::cgi::kGetOverlayAttr1;
    return ky::cgi::RunCommand(cmd, {ip, port, user, password}, rec, timeoutMs);
}

int CCgiClient::SetOverlayAttr(const char* ip, uint16_t port, const char* user, const char* password, OsdRegion* rec,
                               int timeoutMs) {
    if (rec == nullptr || (rec->region != 0 && rec->region != 1)) return -1;
    const auto& cmd = rec->region == 0 ? ky::cgi::kSetOverlayAttr0 : ky::cgi::kSetOverlayAttr1;
    return ky::cgi::RunCommand(cmd, {ip, port, user, password}, rec, timeoutMs);
}
