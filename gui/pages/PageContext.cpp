#include "gui/pages/PageContext.h"

#include <cstring>
#include <utility>

std::string CapabilityRecord::Text(int i) const {
    if (i < 0 || i >= kFieldCount) return {};
    const char* f = field[i];
    return std::string(f, strnlen(f, kFieldSize));
}

namespace ky::pages {

namespace {

CapabilitySource& Source() {
    static CapabilitySource source;
    return source;
}

SdBrowserOpener& Opener() {
    static SdBrowserOpener opener;
    return opener;
}

}   // namespace

void SetCapabilitySource(CapabilitySource source) { Source() = std::move(source); }

const CapabilityRecord* CurrentCapability() { return Source() ? Source()() : nullptr; }

void SetSdBrowserOpener(SdBrowserOpener opener) { Opener() = std::move(opener); }

bool OpenSdBrowser(QWidget* parent) {
    if (!Opener()) return false;
    Opener()(parent);
    return true;
}

}   // namespace ky::pages
