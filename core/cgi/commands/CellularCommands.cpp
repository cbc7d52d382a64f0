// 4G/5G modem state and access-point settings.
#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/CellularRules.h"

namespace ky::cgi {
namespace {

// The modem's state is reported only; the operator is sent back as read.
constexpr std::array kCellularFields{
    KY_FIELD(CellularAttr, g4_runmode),    KY_FIELD_RO(CellularAttr, g4_simcard), KY_FIELD_RO(CellularAttr, g4_status),
    KY_FIELD_RO(CellularAttr, g4_quality), KY_FIELD(CellularAttr, g4_authtype),   KY_FIELD_RO(CellularAttr, g4_ver),
    KY_FIELD_RO(CellularAttr, g4_mcc),     KY_FIELD_RO(CellularAttr, g4_mnc),     KY_FIELD_RO(CellularAttr, g4_carrier),
    KY_FIELD(CellularAttr, g4_apn),        KY_FIELD(CellularAttr, g4_username),   KY_FIELD(CellularAttr, g4_password),
    KY_FIELD_RO(CellularAttr, g4_imei),    KY_FIELD_RO(CellularAttr, g4_iccid),
};
constexpr RecordInfo kCellularAttr{"CellularAttr", sizeof(CellularAttr), kCellularFields};
#define F(name) FieldIndex(kCellularFields, #name)
constexpr KeySpec kCellularKeys[] = {
    {"var g4_runmode=", F(g4_runmode), Conv::Int},
    {"var g4_simcard=", F(g4_simcard), Conv::Int},
    {"var g4_status=", F(g4_status), Conv::Int},
    {"var g4_quality=", F(g4_quality), Conv::Int},
    {"var g4_ver=", F(g4_ver)},
    {"var g4_mcc=", F(g4_mcc)},
    {"var g4_mnc=", F(g4_mnc)},
    {"var g4_carrier=", F(g4_carrier)},
    {"var g4_apn=", F(g4_apn)},
    {"var g4_authtype=", F(g4_authtype), Conv::Int},
    {"var g4_username=", F(g4_username)},
    {"var g4_password=", F(g4_password)},
    {"var g4_imei=", F(g4_imei)},
    {"var g4_iccid=", F(g4_iccid)},
};
constexpr ArgSpec kCellularSetArgs[] = {
    {F(g4_runmode)}, {F(g4_carrier)}, {F(g4_apn)}, {F(g4_authtype)}, {F(g4_username)}, {F(g4_password)},
};
#undef F

constexpr CommandDesc kGet4gAttr{
    .name = "Get4gAttr",
    .record = &kCellularAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=get4gattr",
    .keys = kCellularKeys,
};
constexpr CommandDesc kSet4gAttr{
    .name = "Set4gAttr",
    .record = &kCellularAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=set4gattr&-g4_runmode=%d&-g4_carrier=%s&-g4_apn=%s"
        "&-g4_authtype=%d&-g4_username=%s&-g4_password=%s",
    .args = kCellularSetArgs,
    .exchangeSize = 2048,
};

constexpr const CommandDesc* kCommands[] = {&kGet4gAttr, &kSet4gAttr};

constexpr const CommandDesc* kCellularGets[] = {&kGet4gAttr};
constexpr const CommandDesc* kCellularSets[] = {&kSet4gAttr};
constexpr PageDesc kCellularPage{
    "4g",
    "4G/5G modem state and APN (runmode 0 auto/1 manual, authtype 0 NONE/1 PAP/2 CHAP/3 PAP or CHAP)",
    &kCellularAttr,
    kCellularGets,
    kCellularSets,
    nullptr,
    [](const void* rec, const PageContext& ctx) {
        return ValidateCellularPage(*static_cast<const CellularAttr*>(rec), ctx);
    }};

constexpr const PageDesc* kPages[] = {&kCellularPage};

}   // namespace

std::span<const CommandDesc* const> CellularCommands() { return kCommands; }
std::span<const PageDesc* const> CellularPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(Get4gAttr, CellularAttr, ky::cgi::kGet4gAttr)
KY_DEFINE_COMMAND(Set4gAttr, CellularAttr, ky::cgi::kSet4gAttr)
