// Lens type ("motor range") of the maintenance page.
#include "core/cgi/Catalogue.h"

namespace ky::cgi {
namespace {

constexpr std::array kMotorRangeFields{KY_FIELD_RO(MotorRangeAttr, lenstype)};
constexpr RecordInfo kMotorRangeAttr{"MotorRangeAttr", sizeof(MotorRangeAttr), kMotorRangeFields};
constexpr KeySpec kMotorRangeKeys[] = {{"var lenstype=", FieldIndex(kMotorRangeFields, "lenstype"), Conv::Int}};

constexpr CommandDesc kGetMotorRange{
    .name = "GetMotorRange",
    .record = &kMotorRangeAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getmotorrange",
    .keys = kMotorRangeKeys,
};

constexpr const CommandDesc* kCommands[] = {&kGetMotorRange};

constexpr const CommandDesc* kMotorRangeGets[] = {&kGetMotorRange};
constexpr PageDesc kMotorRangePage{"motor-range", "lens type code (read-only)", &kMotorRangeAttr, kMotorRangeGets};

constexpr const PageDesc* kPages[] = {&kMotorRangePage};

}   // namespace

std::span<const CommandDesc* const> MaintenanceCommands() { return kCommands; }
std::span<const PageDesc* const> MaintenancePages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetMotorRange, MotorRangeAttr, ky::cgi::kGetMotorRange)
