#pragma once
// Page numbers to parameter pages. The main window creates one page per
// registered number when it is built and shows it when the settings tree asks
// for that number; a number without an entry shows nothing. A page is added
// with one line in RegisterBuiltInPages (app/BuiltIns.cpp):
//
//     registry.registerPage(24, MakePage<CP_DefDlg>);
//
// Numbers are those of the page nodes (6..38, not 18, 27, 28). A group node
// (1..5) shows the page of its first child, so it is never registered.
#include <functional>
#include <map>
#include <vector>

class QWidget;
class CSettingsPage;

using PageFactory = std::function<CSettingsPage*(QWidget* parent)>;

template <class Page>
CSettingsPage* MakePage(QWidget* parent) {
    return new Page(parent);
}

class CPageRegistry {
public:
    // The tool's registry, holding the built-in pages.
    static CPageRegistry& Instance();

    // Adds or replaces the page for `number`; false (and nothing kept) when
    // the number is not a page node's.
    bool registerPage(int number, PageFactory factory);
    void unregisterPage(int number);
    bool contains(int number) const { return m_factories.count(number) != 0; }
    // nullptr when the number has no page.
    const PageFactory* find(int number) const;

    // Registered numbers in the order the main window creates the pages.
    std::vector<int> creationOrder() const;

    static bool IsPageNumber(int number);

private:
    std::map<int, PageFactory> m_factories;
};

// The pages the tool ships; one line per page.
void RegisterBuiltInPages(CPageRegistry& registry);
