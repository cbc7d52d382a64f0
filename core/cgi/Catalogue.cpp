#include "core/cgi/Catalogue.h"

#include <vector>

namespace ky::cgi {

namespace {
template <class T>
std::vector<const T*> Concat(std::initializer_list<std::span<const T* const>> parts) {
    std::vector<const T*> all;
    for (auto part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}
}   // namespace

std::span<const CommandDesc* const> AllCommands() {
    static const auto all = Concat<CommandDesc>({
#define KY_CGI_FAMILY(Family) Family##Commands(),
#include "core/cgi/Families.inc"
#undef KY_CGI_FAMILY
    });
    return all;
}

const CommandDesc* FindCommand(std::string_view name) {
    for (const CommandDesc* c : AllCommands())
        if (name == c->name) return c;
    return nullptr;
}

std::span<const PageDesc* const> AllPages() {
    static const auto all = Concat<PageDesc>({
#define KY_CGI_FAMILY(Family) Family##Pages(),
#include "core/cgi/Families.inc"
#undef KY_CGI_FAMILY
    });
    return all;
}

const PageDesc* FindPage(std::string_view name) {
    for (const PageDesc* p : AllPages())
        if (name == p->name) return p;
    return nullptr;
}

}   // namespace ky::cgi
