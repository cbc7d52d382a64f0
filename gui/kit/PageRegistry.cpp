#include "gui/kit/PageRegistry.h"

#include <algorithm>
#include <utility>

namespace {

// The order in which the pages join the right-hand area (the OSD page first;
// the live-video and search windows come between it and the rest).
constexpr int kCreationOrder[] = {7,  6,  9,  8,  10, 13, 14, 15, 16, 12, 17, 19, 20, 21, 22,
                                  35, 36, 37, 38, 23, 25, 26, 29, 30, 31, 32, 33, 34, 24, 11};

}   // namespace

CPageRegistry& CPageRegistry::Instance() {
    static CPageRegistry registry = [] {
        CPageRegistry r;
        RegisterBuiltInPages(r);
        return r;
    }();
    return registry;
}

bool CPageRegistry::IsPageNumber(int number) {
    return std::find(std::begin(kCreationOrder), std::end(kCreationOrder), number) != std::end(kCreationOrder);
}

bool CPageRegistry::registerPage(int number, PageFactory factory) {
    if (!IsPageNumber(number) || !factory) return false;
    m_factories[number] = std::move(factory);
    return true;
}

void CPageRegistry::unregisterPage(int number) { m_factories.erase(number); }

const PageFactory* CPageRegistry::find(int number) const {
    auto it = m_factories.find(number);
    return it == m_factories.end() ? nullptr : &it->second;
}

std::vector<int> CPageRegistry::creationOrder() const {
    std::vector<int> order;
    for (int number : kCreationOrder)
        if (contains(number)) order.push_back(number);
    return order;
}
