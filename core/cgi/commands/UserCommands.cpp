// Camera user account. The change is write-only (nothing reads it back), so
// it has no page; the user page and its rules use SetUserAttr directly.
#include "core/cgi/Catalogue.h"

namespace ky::cgi {
namespace {

constexpr std::array kUserFields{
    KY_FIELD(UserAttr, newname),
    KY_FIELD(UserAttr, username),
    KY_FIELD(UserAttr, password),
};
constexpr RecordInfo kUserAttr{"UserAttr", sizeof(UserAttr), kUserFields};
#define F(name) FieldIndex(kUserFields, #name)
constexpr ArgSpec kUserArgs[] = {
    {F(username), Enc::Percent},
    {F(newname), Enc::Percent},
    {F(password), Enc::Percent},
};
#undef F

constexpr CommandDesc kSetUserAttr{
    .name = "SetUserAttr",
    .record = &kUserAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setuserattr&-at_username=%s&-at_newname=%s&-at_password=%s",
    .args = kUserArgs,
    .exchangeSize = 2048,
};

constexpr const CommandDesc* kCommands[] = {&kSetUserAttr};
constexpr const PageDesc* kPages[] = {nullptr};

}   // namespace

std::span<const CommandDesc* const> UserCommands() { return kCommands; }
std::span<const PageDesc* const> UserPages() { return std::span(kPages).first(0); }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(SetUserAttr, UserAttr, ky::cgi::kSetUserAttr)
