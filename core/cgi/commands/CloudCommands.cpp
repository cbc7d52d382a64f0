// P2P platform, cloud storage and Tmall switches.
#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/CloudRules.h"

namespace ky::cgi {
namespace {

// ---- P2P: two command families with the same record --------------------------
constexpr std::array kP2pFields{
    KY_FIELD_RO(P2pAttr, family), KY_FIELD(P2pAttr, enable), KY_FIELD_RO(P2pAttr, mode),
    KY_FIELD_RO(P2pAttr, uid),   // read to check the switch; never written
};
constexpr RecordInfo kP2pAttr{"P2pAttr", sizeof(P2pAttr), kP2pFields};
#define F(name) FieldIndex(kP2pFields, #name)

constexpr KeySpec kKyP2pKeys[] = {
    {"var kyp2p_enable=", F(enable), Conv::Int},
    {"var kyp2p_mode=", F(mode), Conv::Int},
    {"var kyp2p_uid=", F(uid)},
};
constexpr KeySpec kXqP2pKeys[] = {
    {"var xqp2p_enable=", F(enable), Conv::Int},
    {"var xqp2p_mode=", F(mode), Conv::Int},
    {"var xqp2p_uid=", F(uid)},
};
constexpr ArgSpec kP2pSetArgs[] = {{F(enable)}};
#undef F

// Switching on is refused without sending anything while the UID is empty;
// switching off always goes out.
int RequireUid(const CommandDesc&, void* rec) { return CheckP2pSwitch(*static_cast<const P2pAttr*>(rec)) ? -1 : 0; }

constexpr CommandDesc kGetKyP2pAttr{
    .name = "GetKyP2pAttr",
    .record = &kP2pAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getkyp2pattr",
    .keys = kKyP2pKeys,
};
constexpr CommandDesc kGetXqP2pAttr{
    .name = "GetXqP2pAttr",
    .record = &kP2pAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getxqp2pattr",
    .keys = kXqP2pKeys,
};
constexpr CommandDesc kSetKyP2pAttr{
    .name = "SetKyP2pAttr",
    .record = &kP2pAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setkyp2pattr&-kyp2p_enable=%d",
    .args = kP2pSetArgs,
    .exchangeSize = 2048,
    .prepare = RequireUid,
};
constexpr CommandDesc kSetXqP2pAttr{
    .name = "SetXqP2pAttr",
    .record = &kP2pAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setxqp2pattr&-xqp2p_enable=%d",
    .args = kP2pSetArgs,
    .exchangeSize = 2048,
    .prepare = RequireUid,
};

// ---- cloud storage --------------------------------------------------------------
constexpr std::array kCloudFields{KY_FIELD(CloudAttr, cloud_enable)};
constexpr RecordInfo kCloudAttr{"CloudAttr", sizeof(CloudAttr), kCloudFields};
constexpr KeySpec kCloudKeys[] = {{"var cloud_enable=", FieldIndex(kCloudFields, "cloud_enable"), Conv::Int}};
constexpr ArgSpec kCloudArgs[] = {{FieldIndex(kCloudFields, "cloud_enable")}};

constexpr CommandDesc kGetCloudEnable{
    .name = "GetCloudEnable",
    .record = &kCloudAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getcloudenable",
    .keys = kCloudKeys,
};
constexpr CommandDesc kSetCloudEnable{
    .name = "SetCloudEnable",
    .record = &kCloudAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setcloudenable&-cloud_enable=%d",
    .args = kCloudArgs,
    .exchangeSize = 2048,
};

// ---- Tmall ------------------------------------------------------------------------
constexpr std::array kTmallFields{KY_FIELD_RO(TmallAttr, tmall_flag), KY_FIELD(TmallAttr, tmall_enable)};
constexpr RecordInfo kTmallAttr{"TmallAttr", sizeof(TmallAttr), kTmallFields};
constexpr KeySpec kTmallKeys[] = {
    {"var tmall_flag=", FieldIndex(kTmallFields, "tmall_flag"), Conv::Int},
    {"var tmall_enable=", FieldIndex(kTmallFields, "tmall_enable"), Conv::Int},
};
constexpr ArgSpec kTmallArgs[] = {{FieldIndex(kTmallFields, "tmall_enable")}};

constexpr CommandDesc kGetTmallAttr{
    .name = "GetTmallAttr",
    .record = &kTmallAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=gettmallattr",
    .keys = kTmallKeys,
};
constexpr CommandDesc kSetTmallAttr{
    .name = "SetTmallAttr",
    .record = &kTmallAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=settmallattr&-tmall_enable=%d",
    .args = kTmallArgs,
    .exchangeSize = 2048,
};

constexpr const CommandDesc* kCommands[] = {&kGetKyP2pAttr,   &kGetXqP2pAttr,   &kSetKyP2pAttr, &kSetXqP2pAttr,
                                            &kGetCloudEnable, &kSetCloudEnable, &kGetTmallAttr, &kSetTmallAttr};

// ---- pages -------------------------------------------------------------------------
// Which P2P family a camera serves comes from its discovery record, so each
// family is a page of its own.
void XqP2pPreset(void* rec, const PageOptions&) { static_cast<P2pAttr*>(rec)->family = 0; }
void KyP2pPreset(void* rec, const PageOptions&) { static_cast<P2pAttr*>(rec)->family = 1; }
const char* P2pValidate(const void* rec, const PageContext&) {
    return CheckP2pSwitch(*static_cast<const P2pAttr*>(rec));
}
const char* OnOffValidate(int32_t v) { return v == 0 || v == 1 ? nullptr : "Value must be 0 or 1"; }

constexpr const CommandDesc* kKyP2pGets[] = {&kGetKyP2pAttr};
constexpr const CommandDesc* kKyP2pSets[] = {&kSetKyP2pAttr};
constexpr const CommandDesc* kXqP2pGets[] = {&kGetXqP2pAttr};
constexpr const CommandDesc* kXqP2pSets[] = {&kSetXqP2pAttr};
constexpr PageDesc kKyP2pPage{
    "p2p-ky",   "P2P platform switch, maker's own P2P family", &kP2pAttr, kKyP2pGets, kKyP2pSets, KyP2pPreset,
    P2pValidate};
constexpr PageDesc kXqP2pPage{"p2p",      "P2P platform switch and UID", &kP2pAttr, kXqP2pGets, kXqP2pSets, XqP2pPreset,
                              P2pValidate};

constexpr const CommandDesc* kCloudGets[] = {&kGetCloudEnable};
constexpr const CommandDesc* kCloudSets[] = {&kSetCloudEnable};
constexpr PageDesc kCloudPage{
    "cloud",
    "cloud storage switch",
    &kCloudAttr,
    kCloudGets,
    kCloudSets,
    nullptr,
    [](const void* r, const PageContext&) { return OnOffValidate(static_cast<const CloudAttr*>(r)->cloud_enable); }};

constexpr const CommandDesc* kTmallGets[] = {&kGetTmallAttr};
constexpr const CommandDesc* kTmallSets[] = {&kSetTmallAttr};
constexpr PageDesc kTmallPage{
    "tmall",
    "Tmall ELF switch (tmall_flag 0: not supported)",
    &kTmallAttr,
    kTmallGets,
    kTmallSets,
    nullptr,
    [](const void* r, const PageContext&) { return OnOffValidate(static_cast<const TmallAttr*>(r)->tmall_enable); }};

constexpr const PageDesc* kPages[] = {&kXqP2pPage, &kKyP2pPage, &kCloudPage, &kTmallPage};

}   // namespace

std::span<const CommandDesc* const> CloudCommands() { return kCommands; }
std::span<const PageDesc* const> CloudPages() { return kPages; }

}   // namespace ky::cgi

int CCgiClient::GetP2pAttr(const char* ip, uint16_t port, const char* user, const char* password, P2pAttr* rec,
                           int timeoutMs) {
    if (rec == nullptr) return -1;
    const auto& cmd = rec->family == 1 ? ky::cgi::kGetKyP2pAttr : ky::cgi::kGetXqP2pAttr;
    return ky::cgi::RunCommand(cmd, {ip, port, user, password}, rec, timeoutMs);
}

int CCgiClient::SetP2pAttr(const char* ip, uint16_t port, const char* user, const char* password, P2pAttr* rec,
                           int timeoutMs) {
    if (rec == nullptr) return -1;
    const auto& cmd = rec->family == 1 ? ky::cgi::kSetKyP2pAttr : ky::cgi::kSetXqP2pAttr;
    return ky::cgi::RunCommand(cmd, {ip, port, user, password}, rec, timeoutMs);
}

KY_DEFINE_COMMAND(GetCloudEnable, CloudAttr, ky::cgi::kGetCloudEnable)
KY_DEFINE_COMMAND(SetCloudEnable, CloudAttr, ky::cgi::kSetCloudEnable)
KY_DEFINE_COMMAND(GetTmallAttr, TmallAttr, ky::cgi::kGetTmallAttr)
KY_DEFINE_COMMAND(SetTmallAttr, TmallAttr, ky::cgi::kSetTmallAttr)
