// Video cover regions.
#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/RegionsRules.h"

namespace ky::cgi {
namespace {

constexpr std::array kCoverFields{
    KY_FIELD(CoverAttr, show), KY_FIELD_RO(CoverAttr, color), KY_FIELD(CoverAttr, x),
    KY_FIELD(CoverAttr, y),    KY_FIELD(CoverAttr, w),        KY_FIELD(CoverAttr, h),
};
constexpr RecordInfo kCoverAttr{"CoverAttr", sizeof(CoverAttr), kCoverFields};
#define F(name) FieldIndex(kCoverFields, #name)

// Regions are numbered from 1 on the wire.
constexpr KeySpec kCoverKeys[] = {
    {"var show_%d=", F(show), Conv::Int, nullptr, true, 1}, {"var color_%d=", F(color), Conv::Int, nullptr, true, 1},
    {"var x_%d=", F(x), Conv::Int, nullptr, true, 1},       {"var y_%d=", F(y), Conv::Int, nullptr, true, 1},
    {"var w_%d=", F(w), Conv::Int, nullptr, true, 1},       {"var h_%d=", F(h), Conv::Int, nullptr, true, 1},
};

#define KY_COVER_REGION(n) "&cmd=setcover&-region=" #n "&-show=%d&-color=000000&-x=%d&-y=%d&-w=%d&-h=%d"
constexpr ArgSpec RegionArg(int field, int i) { return {field, Enc::Raw, i}; }
#define KY_COVER_ARGS(i) \
    RegionArg(F(show), i), RegionArg(F(x), i), RegionArg(F(y), i), RegionArg(F(w), i), RegionArg(F(h), i)
constexpr ArgSpec kCoverArgs[] = {KY_COVER_ARGS(0), KY_COVER_ARGS(1), KY_COVER_ARGS(2), KY_COVER_ARGS(3)};
#undef KY_COVER_ARGS
#undef F

constexpr CommandDesc kGetCover{
    .name = "GetCover",
    .record = &kCoverAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getcover",
    .keys = kCoverKeys,
};
// Four commands in one request; the colour is always black.
constexpr CommandDesc kSetCover{
    .name = "SetCover",
    .record = &kCoverAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?" KY_COVER_REGION(1) KY_COVER_REGION(2) KY_COVER_REGION(3) KY_COVER_REGION(4),
    .args = kCoverArgs,
    .exchangeSize = 2048,
};
#undef KY_COVER_REGION

constexpr const CommandDesc* kCommands[] = {&kGetCover, &kSetCover};

const char* CoverValidate(const void* rec, const PageContext&) {
    return CheckCoverAttr(*static_cast<const CoverAttr*>(rec));
}

constexpr const CommandDesc* kCoverGets[] = {&kGetCover};
constexpr const CommandDesc* kCoverSets[] = {&kSetCover};
constexpr PageDesc kCoverPage{
    "cover",      "video cover regions 1-4 as elements [0]-[3]: show (0/1), x, y, w, h in picture pixels",
    &kCoverAttr,  kCoverGets,
    kCoverSets,   nullptr,
    CoverValidate};

constexpr const PageDesc* kPages[] = {&kCoverPage};

}   // namespace

std::span<const CommandDesc* const> RegionsCommands() { return kCommands; }
std::span<const PageDesc* const> RegionsPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetCover, CoverAttr, ky::cgi::kGetCover)
KY_DEFINE_COMMAND(SetCover, CoverAttr, ky::cgi::kSetCover)
