// The main window's layouts, the settings tree and its page host, the tool
// login request and dialog translation.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <map>
#include <memory>

#include "gui/kit/AppEvents.h"
#include "gui/shell/KyCamToolDlg.h"
#include "gui/shell/LeftSettingsDlg.h"
#include "gui/kit/PageRegistry.h"
#include "gui/kit/SettingsPage.h"
#include "gui/kit/ShellViews.h"
#include "gui/kit/Translate.h"
#include "tests/support/GuiTestSupport.h"

using namespace kytest;

namespace {

class FakePage : public CSettingsPage {
public:
    using CSettingsPage::CSettingsPage;
    void RefreshFromDevice() override { ++refreshes; }
    void StopPreview() override { ++stops; }
    void OnDeviceLogin() override { ++logins; }
    int refreshes = 0;
    int stops = 0;
    int logins = 0;
};

// Stands in for the search window: counts the search requests it receives.
class FakeSearch : public QWidget {
public:
    using QWidget::QWidget;
    int searches = 0;

protected:
    bool event(QEvent* e) override {
        if (static_cast<int>(e->type()) == ky::msg::kStartSearch) {
            ++searches;
            return true;
        }
        return QWidget::event(e);
    }
};

// Receives the show-page requests of a free-standing tree.
class PageRequests : public QObject {
public:
    std::vector<int> pages;

protected:
    bool event(QEvent* e) override {
        if (static_cast<int>(e->type()) == ky::msg::kShowPage) {
            pages.push_back(static_cast<CShowPageEvent*>(e)->Page());
            return true;
        }
        return QObject::event(e);
    }
};

void ClickItem(QTreeWidget* tree, QTreeWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
    tree->scrollToItem(item);
    QCoreApplication::processEvents();
    const QRect r = tree->visualItemRect(item);
    ASSERT_TRUE(r.isValid());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, r.center());
    // Far apart in time, so the next click is never a double click.
    QTest::qWait(0);
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int n : {6, 7, 8, 20, 23, 24, 31}) {
            registry.registerPage(n, [this, n](QWidget* parent) {
                auto* page = new FakePage(parent);
                pages[n] = page;
                return page;
            });
        }
        views.searchView = [this](QWidget* parent, IShellHost&) {
            search = new FakeSearch(parent);
            return search;
        };
    }

    std::unique_ptr<CKyCamToolDlg> MakeWindow(int screenWidth = 1366) {
        CKyCamToolDlg::Options options;
        options.screenWidth = screenWidth;
        options.pages = &registry;
        options.views = &views;
        auto w = std::make_unique<CKyCamToolDlg>(options);
        w->ShowMaximized();
        QCoreApplication::processEvents();
        return w;
    }

    static std::vector<QWidget*> VisibleRight(const CKyCamToolDlg& w) {
        std::vector<QWidget*> shown;
        for (QWidget* r : w.RightArea())
            if (r->isVisible()) shown.push_back(r);
        return shown;
    }

    GuiAppDir dir;
    RecordingPresenter presenter;
    CPageRegistry registry;
    ShellViews views;
    std::map<int, FakePage*> pages;
    FakeSearch* search = nullptr;
};

TEST_F(ShellTest, SidePanelWidthFollowsScreenWidth) {
    EXPECT_EQ(CKyCamToolDlg::SideWidth(767), 234);
    EXPECT_EQ(CKyCamToolDlg::SideWidth(768), 260);
    EXPECT_EQ(CKyCamToolDlg::SideWidth(800), 260);
    EXPECT_EQ(CKyCamToolDlg::SideWidth(1024), 260);
    EXPECT_EQ(CKyCamToolDlg::SideWidth(1025), 286);
    EXPECT_EQ(CKyCamToolDlg::SideWidth(1366), 286);
    EXPECT_EQ(CKyCamToolDlg::SideWidth(1920), 390);
    EXPECT_EQ(CKyCamToolDlg::SideWidth(2560), 390);
    EXPECT_EQ(CKyCamToolDlg::SideWidth(2561), 520);

    for (auto [screen, side] : {std::pair{800, 260}, {1366, 286}, {1920, 390}}) {
        auto w = MakeWindow(screen);
        EXPECT_EQ(w->PlayPanel()->width(), side) << screen;
        EXPECT_EQ(w->SettingsPanel()->width(), side) << screen;
        EXPECT_GT(w->VideoView()->x(), w->PlayPanel()->geometry().right()) << screen;
        EXPECT_LE(w->VideoView()->geometry().right(), w->width() - 1);
    }
}

TEST_F(ShellTest, LayoutsShowAndHideTheRightWindows) {
    auto w = MakeWindow();
    // Preview at start: play panel and live video only.
    EXPECT_TRUE(w->PlayPanel()->isVisible());
    EXPECT_FALSE(w->SettingsPanel()->isVisible());
    EXPECT_EQ(VisibleRight(*w), std::vector<QWidget*>{w->VideoView()});
    // "Search device" sits in the bottom strip at the left edge.
    QPushButton* searchButton = w->Button(1007);
    EXPECT_EQ(searchButton->x(), 0);
    EXPECT_EQ(searchButton->y(), w->height() - 31);
    EXPECT_FALSE(w->Button(1008)->isVisible());

    QTest::mouseClick(w->Button(2), Qt::LeftButton);
    EXPECT_EQ(w->CurrentLayout(), CKyCamToolDlg::Layout::Settings);
    EXPECT_FALSE(w->PlayPanel()->isVisible());
    EXPECT_TRUE(w->SettingsPanel()->isVisible());
    EXPECT_TRUE(VisibleRight(*w).empty());
    EXPECT_TRUE(w->SettingsPanel()->FindItem(1)->isExpanded());

    QTest::mouseClick(w->Button(1048), Qt::LeftButton);
    EXPECT_EQ(VisibleRight(*w), std::vector<QWidget*>{w->SearchView()});
    EXPECT_TRUE(w->SettingsPanel()->isVisible());   // left side unchanged

    // Back in the settings the search window gives way again.
    QTest::mouseClick(w->Button(2), Qt::LeftButton);
    EXPECT_TRUE(VisibleRight(*w).empty());

    QTest::mouseClick(w->Button(1), Qt::LeftButton);
    EXPECT_TRUE(w->PlayPanel()->isVisible());
    EXPECT_FALSE(w->SettingsPanel()->isVisible());
    EXPECT_EQ(VisibleRight(*w), std::vector<QWidget*>{w->VideoView()});
}

TEST_F(ShellTest, LayoutsPauseAndResumeTheLiveVideo) {
    FakeCamera camera;
    auto w = MakeWindow();
    // Nobody logged in: no pause, no resume, and Search device only searches.
    QTest::mouseClick(w->Button(2), Qt::LeftButton);
    QTest::mouseClick(w->Button(1), Qt::LeftButton);
    QTest::mouseClick(w->Button(1007), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(camera.pauses + camera.resumes, 0);
    EXPECT_EQ(search->searches, 1);
    EXPECT_EQ(VisibleRight(*w), std::vector<QWidget*>{w->SearchView()});

    camera.loggedIn = camera.playing = true;
    QTest::mouseClick(w->Button(1048), Qt::LeftButton);   // Device list keeps it running
    EXPECT_EQ(camera.pauses, 0);
    QTest::mouseClick(w->Button(2), Qt::LeftButton);
    EXPECT_EQ(camera.pauses, 1);
    QTest::mouseClick(w->Button(1), Qt::LeftButton);
    EXPECT_EQ(camera.resumes, 1);
    QTest::mouseClick(w->Button(1), Qt::LeftButton);   // already playing
    EXPECT_EQ(camera.resumes, 1);
    QTest::mouseClick(w->Button(1007), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(camera.pauses, 2);
    EXPECT_EQ(search->searches, 2);
}

TEST_F(ShellTest, TreeClicksOpenEachPageOnceUntilPreview) {
    auto w = MakeWindow();
    QTest::mouseClick(w->Button(2), Qt::LeftButton);
    CLeftSettingsDlg* panel = w->SettingsPanel();
    QTreeWidget* tree = panel->Tree();

    ClickItem(tree, panel->FindItem(8));   // Image
    EXPECT_EQ(VisibleRight(*w), std::vector<QWidget*>{pages[8]});
    EXPECT_EQ(pages[8]->refreshes, 1);
    EXPECT_EQ(pages[8]->stops, 0);
    EXPECT_EQ(pages[20]->stops, 1);
    EXPECT_EQ(pages[31]->stops, 1);

    ClickItem(tree, panel->FindItem(8));   // the page already shown
    EXPECT_EQ(pages[8]->refreshes, 1);
    EXPECT_EQ(pages[20]->stops, 1);

    ClickItem(tree, panel->FindItem(20));   // leaving the image page stops its preview
    EXPECT_EQ(pages[8]->stops, 1);
    EXPECT_EQ(pages[20]->refreshes, 1);
    EXPECT_EQ(pages[20]->stops, 1);

    ClickItem(tree, panel->FindItem(1));   // the Media group reads the video page
    EXPECT_EQ(VisibleRight(*w), std::vector<QWidget*>{pages[6]});
    EXPECT_EQ(pages[6]->refreshes, 1);

    // Moving with the keyboard opens nothing.
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Down);
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_NE(tree->currentItem(), panel->FindItem(1));
    EXPECT_EQ(VisibleRight(*w), std::vector<QWidget*>{pages[6]});
    EXPECT_EQ(pages[7]->refreshes, 0);

    // A page that this build does not have leaves the area empty, no message.
    ClickItem(tree, panel->FindItem(10));
    EXPECT_TRUE(VisibleRight(*w).empty());
    ClickItem(tree, panel->FindItem(6));
    EXPECT_EQ(pages[6]->refreshes, 2);
    ClickItem(tree, panel->FindItem(6));
    EXPECT_EQ(pages[6]->refreshes, 2);

    // Device list and back: the same page, not read again.
    QTest::mouseClick(w->Button(1048), Qt::LeftButton);
    QTest::mouseClick(w->Button(2), Qt::LeftButton);
    EXPECT_EQ(VisibleRight(*w), std::vector<QWidget*>{pages[6]});
    ClickItem(tree, panel->FindItem(6));
    EXPECT_EQ(pages[6]->refreshes, 2);

    // After Preview the same node reads its page again.
    QTest::mouseClick(w->Button(1), Qt::LeftButton);
    QTest::mouseClick(w->Button(2), Qt::LeftButton);
    EXPECT_TRUE(VisibleRight(*w).empty());
    ClickItem(tree, panel->FindItem(6));
    EXPECT_EQ(pages[6]->refreshes, 3);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(ShellTest, TreeSendsThePageNumberOfTheClickedNodeOnce) {
    CLeftSettingsDlg panel;
    PageRequests host;
    panel.SetHost(&host);
    panel.resize(300, 900);
    panel.show();
    QCoreApplication::processEvents();

    ClickItem(panel.Tree(), panel.FindItem(24));
    ClickItem(panel.Tree(), panel.FindItem(24));
    ClickItem(panel.Tree(), panel.FindItem(5));
    // Single-branch expansion: the group of the new node opens, the old closes.
    EXPECT_TRUE(panel.FindItem(5)->isExpanded());
    EXPECT_FALSE(panel.FindItem(4)->isExpanded());
    ClickItem(panel.Tree(), panel.FindItem(0));
    EXPECT_EQ(host.pages, (std::vector<int>{24, 5, 0}));
    EXPECT_FALSE(panel.FindItem(5)->isExpanded());
    EXPECT_TRUE(panel.FindItem(0)->isExpanded());

    // A right click selects nothing to open.
    ClickItem(panel.Tree(), panel.FindItem(35));
    const QRect r = panel.Tree()->visualItemRect(panel.FindItem(36));
    QTest::mouseClick(panel.Tree()->viewport(), Qt::RightButton, {}, r.center());
    EXPECT_EQ(host.pages, (std::vector<int>{24, 5, 0, 35}));
}

TEST_F(ShellTest, TreeHoldsEveryNodeWithItsLevelAndNumber) {
    CLeftSettingsDlg panel;
    const auto& records = panel.Records();
    ASSERT_EQ(records.size(), 36u);
    EXPECT_EQ(records[0]->level, 0);
    EXPECT_EQ(records[0]->label, "Parameter settings");
    int groups = 0;
    for (const auto& r : records) {
        if (r->level == 1) ++groups;
        if (r->level == 2) {
            EXPECT_EQ(panel.RecordOf(r->parentItem)->level, 1) << r->label.toStdString();
        }
        EXPECT_EQ(panel.RecordOf(r->item), r.get());
    }
    EXPECT_EQ(groups, 5);
    const TreeNodeRecord* dflt = panel.FindRecord(24);
    ASSERT_NE(dflt, nullptr);
    EXPECT_EQ(dflt->label, "Default Settings");
    EXPECT_EQ(panel.RecordOf(dflt->parentItem)->label, "Advanced");
    for (int unused : {18, 27, 28}) EXPECT_EQ(panel.FindRecord(unused), nullptr);
}

TEST_F(ShellTest, Rs485NodeFollowsTheLoggedInDeviceType) {
    FakeCamera camera;
    auto w = MakeWindow();
    CLeftSettingsDlg* panel = w->SettingsPanel();
    QTreeWidgetItem* advanced = panel->FindItem(4);
    auto count485 = [&] {
        int n = 0;
        for (int i = 0; i < advanced->childCount(); ++i)
            if (advanced->child(i)->text(0) == "485 set") ++n;
        return n;
    };
    EXPECT_EQ(count485(), 1);   // built with every node

    camera.Login("IPC-100X9");   // 7th/8th characters "0X": no RS-485
    EXPECT_EQ(count485(), 0);
    EXPECT_EQ(panel->FindItem(30), nullptr);
    EXPECT_EQ(pages[24]->logins, 1);

    camera.Login("IPC-10Z3-A");
    camera.Login("IPC-10Z3-A");
    EXPECT_EQ(count485(), 1);
    EXPECT_EQ(advanced->child(advanced->childCount() - 1), panel->FindItem(30));

    camera.Login("IPC-10Z");   // too short to hold the "3"
    EXPECT_EQ(count485(), 0);
    camera.loggedIn = false;
    std::strcpy(camera.device.info.deviceType, "IPC-10Z3");
    panel->RefreshTree();   // type fits, but nobody is logged in
    EXPECT_EQ(count485(), 0);
}

TEST_F(ShellTest, RemovedRs485NodeOpensItsPageWhenBack) {
    FakeCamera camera;
    PageRequests host;
    CLeftSettingsDlg panel;
    panel.SetHost(&host);
    panel.resize(300, 900);
    panel.show();
    ClickItem(panel.Tree(), panel.FindItem(30));
    camera.Login("IPC-10X9");
    panel.RefreshTree();
    camera.Login("IPC-10Z3");
    panel.RefreshTree();
    ClickItem(panel.Tree(), panel.FindItem(30));
    EXPECT_EQ(host.pages, (std::vector<int>{30, 30}));
}

TEST_F(ShellTest, PageNumbersOutOfRangeShowError) {
    auto w = MakeWindow();
    TreeNodeRecord record;
    record.level = 2;
    for (int number : {39, 100, -1}) {
        record.page = number;
        CShowPageEvent request(number, &record);
        QCoreApplication::sendEvent(w.get(), &request);
    }
    EXPECT_EQ(presenter.texts, (QStringList{"ERROR", "ERROR", "ERROR"}));
    EXPECT_EQ(presenter.kinds, "eee");

    // A request whose record disagrees with its number, or has none, is ignored.
    record.page = 8;
    CShowPageEvent mismatch(24, &record);
    QCoreApplication::sendEvent(w.get(), &mismatch);
    CShowPageEvent none(8, nullptr);
    QCoreApplication::sendEvent(w.get(), &none);
    EXPECT_EQ(pages[8]->refreshes + pages[24]->refreshes, 0);
    EXPECT_EQ(presenter.texts.size(), 3);
}

TEST_F(ShellTest, LanguageFileTranslatesWindowTreeAndMessages) {
    dir.WriteLang("lang_Russian.dat",
                  "[P_CAMTOOL_DLG]\nPreview=Просмотр\nParameter setting=Параметры\n"
                  "[P_LEFTSETTINGS_DLG]\nImage=Изображение\nParameter settings=Настройки\n"
                  "Advanced=Очень-очень-длинное-название-группы\n"
                  "[CONFIG]\nERROR=ОШИБКА\n");
    auto w = MakeWindow();
    EXPECT_EQ(w->Button(1)->text(), "Просмотр");
    EXPECT_EQ(w->Button(2)->text(), "Параметры");
    EXPECT_EQ(w->Button(1048)->text(), "Device list");   // no translation: English
    EXPECT_EQ(w->windowTitle(), "KyCameraTool v2.0");    // never translated
    CLeftSettingsDlg* panel = w->SettingsPanel();
    EXPECT_EQ(panel->FindItem(8)->text(0), "Изображение");
    EXPECT_EQ(panel->FindItem(0)->text(0), "Настройки");
    EXPECT_EQ(panel->FindItem(4)->text(0).size(), 31);   // labels hold 31 characters
    EXPECT_EQ(panel->FindItem(6)->text(0), "Video");

    TreeNodeRecord record;
    record.page = 40;
    CShowPageEvent request(40, &record);
    QCoreApplication::sendEvent(w.get(), &request);
    EXPECT_EQ(presenter.Last(), "ОШИБКА");
}

TEST_F(ShellTest, TranslateWindowTouchesOnlyDirectChildControls) {
    dir.WriteLang("lang_chn.dat",
                  "[P_TEST_DLG]\nTitle=标题\nName=名称\nApply=应用\nOn=开\nOne=一\nFrame=框\nInner=内\n");
    QWidget dialog;
    dialog.setWindowTitle("Title");
    auto* label = new QLabel("Name", &dialog);
    auto* button = new QPushButton("Apply", &dialog);
    auto* check = new QCheckBox("On", &dialog);
    auto* radio = new QRadioButton("One", &dialog);
    auto* group = new QGroupBox("Frame", &dialog);
    auto* inner = new QLabel("Inner", group);
    auto* edit = new QLineEdit("Name", &dialog);
    auto* unknown = new QLabel("Unknown", &dialog);

    TranslateWindowEx("P_TEST_DLG", &dialog);
    EXPECT_EQ(dialog.windowTitle(), "标题");
    EXPECT_EQ(label->text(), "名称");
    EXPECT_EQ(button->text(), "应用");
    EXPECT_EQ(check->text(), "开");
    EXPECT_EQ(radio->text(), "一");
    EXPECT_EQ(group->title(), "框");
    EXPECT_EQ(inner->text(), "Inner");   // grandchild
    EXPECT_EQ(edit->text(), "Name");     // edit boxes keep their content
    EXPECT_EQ(unknown->text(), "Unknown");

    // TranslateWindow reads section CONFIG, which this file lacks.
    QWidget other;
    auto* l2 = new QLabel("Name", &other);
    TranslateWindow(&other);
    EXPECT_EQ(l2->text(), "Name");
}

TEST_F(ShellTest, EscAndEnterDoNothingInTheMainWindow) {
    auto w = MakeWindow();
    QTest::mouseClick(w->Button(2), Qt::LeftButton);
    auto* edit = new QLineEdit(pages[24]);
    edit->show();
    int returns = 0;
    QObject::connect(edit, &QLineEdit::returnPressed, [&] { ++returns; });
    int clicks = 0;
    QObject::connect(w->Button(1), &QPushButton::clicked, [&] { ++clicks; });
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Enter);
    QTest::keyClick(w->Button(1), Qt::Key_Return);
    QTest::keyClick(w->Button(1), Qt::Key_Escape);
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_EQ(returns, 0);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(w->isVisible());
    // Other keys still reach the controls.
    QTest::keyClicks(edit, "ab");
    EXPECT_EQ(edit->text(), "ab");
}

TEST_F(ShellTest, RestoreMaximisesAgain) {
    auto w = MakeWindow();
    EXPECT_TRUE(w->isMaximized());
    w->showNormal();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w->windowState() & Qt::WindowMaximized);
}

TEST_F(ShellTest, ToolLoginIsAskedAfterAnHourWithoutClicks) {
    auto w = MakeWindow();
    qint64 now = 1'000'000;
    w->SetClock([&] { return now; });
    int asked = 0;
    bool answer = false;
    w->SetLoginRunner([&](QWidget*) {
        ++asked;
        return answer;
    });
    int clicks = 0;
    QObject::connect(w->Button(1048), &QPushButton::clicked, [&] { ++clicks; });

    now += 3599;
    QTest::mouseClick(w->Button(1048), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(w->LastActivity(), now);

    now += 3600;   // idle for the full hour: the click asks for the login instead
    QTest::mouseClick(w->Button(1048), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(w->LastActivity(), now - 3600);   // cancelled: still idle

    QTest::mouseClick(w->Button(1048), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 2);

    answer = true;
    QTest::mouseClick(w->Button(1048), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(w->LastActivity(), now);
    QTest::mouseClick(w->Button(1048), Qt::LeftButton);
    EXPECT_EQ(clicks, 2);

    // The request as a posted message runs the login too.
    QCoreApplication::postEvent(w.get(), new QEvent(ky::msg::Type(ky::msg::kToolLogin)));
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 4);
}

TEST_F(ShellTest, AboutBoxNamesTheProgram) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), "关于 KyCamTool");
    auto* name = about.findChild<QLabel*>("name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), "KyCamTool，1.0 版");
}

TEST_F(ShellTest, RegistryKeepsOnlyPageNodeNumbers) {
    CPageRegistry r;
    auto make = [](QWidget* p) -> CSettingsPage* { return new FakePage(p); };
    EXPECT_TRUE(r.registerPage(11, make));
    EXPECT_TRUE(r.registerPage(7, make));
    EXPECT_TRUE(r.registerPage(24, make));
    for (int bad : {0, 1, 5, 18, 27, 28, 39}) EXPECT_FALSE(r.registerPage(bad, make)) << bad;
    EXPECT_EQ(r.creationOrder(), (std::vector<int>{7, 24, 11}));
    EXPECT_TRUE(CPageRegistry::Instance().contains(24));   // the default-settings page ships
}

}   // namespace
