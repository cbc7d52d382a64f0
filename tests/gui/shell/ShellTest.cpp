// The application shell, the tool login, dialog translation and the
// default-settings page.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <map>
#include <memory>

#include "core/services/IniFile.h"
#include "core/services/Settings.h"
#include "core/store/LocalStore.h"
#include "gui/kit/AppEvents.h"
#include "gui/kit/PageRegistry.h"
#include "gui/kit/SettingsPage.h"
#include "gui/kit/ShellViews.h"
#include "gui/kit/Translate.h"
#include "gui/pages/advanced/P_DefDlg.h"
#include "gui/shell/AppGlobals.h"
#include "gui/shell/KyCamToolApp.h"
#include "gui/shell/KyCamToolDlg.h"
#include "gui/shell/LeftSettingsDlg.h"
#include "gui/shell/LoginDlg.h"
#include "tests/support/GuiTestSupport.h"

using namespace kytest;

namespace {

class FakePage : public CSettingsPage {
public:
    using CSettingsPage::CSettingsPage;
    void RefreshFromDevice() override { ++refreshes; }
    void StopPreview() override { ++stops; }
    void OnDeviceLogin() override { ++logins; }
    int refreshes = 0, stops = 0, logins = 0;
};

// Counts the events of one type it receives: the search window's search
// requests, or the show-page requests of a free-standing tree.
class EventSink : public QWidget {
public:
    explicit EventSink(int type, QWidget* parent = nullptr) : QWidget(parent), m_type(type) {}
    std::vector<int> pages;

protected:
    bool event(QEvent* e) override {
        if (static_cast<int>(e->type()) != m_type) return QWidget::event(e);
        pages.push_back(m_type == ky::msg::kShowPage ? static_cast<CShowPageEvent*>(e)->Page() : 0);
        return true;
    }
    int m_type;
};

void ClickItem(QTreeWidget* tree, QTreeWidgetItem* item, Qt::MouseButton button = Qt::LeftButton) {
    ASSERT_NE(item, nullptr);
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
    tree->scrollToItem(item);
    QCoreApplication::processEvents();
    const QRect r = tree->visualItemRect(item);
    ASSERT_TRUE(r.isValid());
    QTest::mouseClick(tree->viewport(), button, {}, r.center());
    QTest::qWait(0);   // far apart in time, so the next click is never a double click
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int n : {6, 7, 8, 20, 23, 24, 31})
            registry.registerPage(n, [this, n](QWidget* parent) { return pages[n] = new FakePage(parent); });
        views.searchView = [this](QWidget* parent, IShellHost&) {
            return search = new EventSink(ky::msg::kStartSearch, parent);
        };
    }
    void MakeWindow() {
        CKyCamToolDlg::Options options;
        options.screenWidth = 1366;
        options.pages = &registry;
        options.views = &views;
        w = std::make_unique<CKyCamToolDlg>(options);
        w->ShowMaximized();
        QCoreApplication::processEvents();
    }
    void Click(int button) {
        QTest::mouseClick(w->Button(button), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    std::vector<QWidget*> Right() const {
        std::vector<QWidget*> shown;
        for (QWidget* r : w->RightArea())
            if (r->isVisible()) shown.push_back(r);
        return shown;
    }
    QTreeWidgetItem* Item(int page) const { return w->SettingsPanel()->FindItem(page); }
    void Open(int page) { ClickItem(w->SettingsPanel()->Tree(), Item(page)); }

    // Buttons: Preview, Parameter setting, Device list, Search device.
    enum { kPreview = 1, kSettings = 2, kDeviceList = 1048, kSearch = 1007 };
    GuiAppDir dir;
    RecordingPresenter presenter;
    CPageRegistry registry;
    ShellViews views;
    std::map<int, FakePage*> pages;
    EventSink* search = nullptr;
    std::unique_ptr<CKyCamToolDlg> w;
};

TEST_F(ShellTest, LayoutsShowTheirWindowsAndPauseAndResumeTheLiveVideo) {
    FakeCamera camera;
    MakeWindow();
    const std::vector<QWidget*> video{w->VideoView()}, list{w->SearchView()}, none;
    // Preview at start: play panel and live video only. Device list keeps the
    // tree; Search device only searches. Nobody logged in: no pause, no resume.
    EXPECT_EQ(Right(), video);
    // The button of the view shown stays down, whatever was clicked (twice, or Search device).
    auto down = [&] {
        std::vector<int> ids;
        for (int id : {kPreview, kSettings, kDeviceList, kSearch})
            if (w->Button(id)->isChecked()) ids.push_back(id);
        return ids;
    };
    EXPECT_EQ(down(), std::vector<int>{kPreview});
    for (auto [button, right, tree, shown] : {std::tuple{kSettings, none, true, kSettings},
                                              {kSettings, none, true, kSettings},
                                              {kDeviceList, list, true, kDeviceList},
                                              {kSettings, none, true, kSettings},
                                              {kPreview, video, false, kPreview},
                                              {kSearch, list, false, kDeviceList}}) {
        Click(button);
        EXPECT_EQ(Right(), right) << button;
        EXPECT_EQ(w->SettingsPanel()->isVisible(), tree) << button;
        EXPECT_NE(w->PlayPanel()->isVisible(), tree) << button;
        EXPECT_EQ(down(), std::vector<int>{shown}) << button;
    }
    EXPECT_TRUE(Item(1)->isExpanded());
    EXPECT_EQ(camera.pauses + camera.resumes, 0);

    camera.loggedIn = camera.playing = true;
    for (auto [button, pauses, resumes] : {std::tuple{kDeviceList, 0, 0},   // keeps it running
                                           {kSettings, 1, 0},
                                           {kPreview, 1, 1},
                                           {kPreview, 1, 1},   // already playing
                                           {kSearch, 2, 1}}) {
        Click(button);
        EXPECT_EQ(std::pair(camera.pauses, camera.resumes), std::pair(pauses, resumes)) << button;
    }
    EXPECT_EQ(search->pages.size(), 2u);
}

TEST_F(ShellTest, TreeClicksOpenEachPageOnceUntilPreview) {
    MakeWindow();
    Click(kSettings);
    Open(8);   // Image; every other page's preview stops
    Open(8);   // the page already shown
    EXPECT_EQ(std::tuple(pages[8]->refreshes, pages[8]->stops, pages[20]->stops), std::tuple(1, 0, 1));
    Open(20);   // leaving the image page stops its preview
    EXPECT_EQ(std::tuple(pages[8]->stops, pages[20]->refreshes), std::tuple(1, 1));
    Open(1);   // the Media group reads the video page
    EXPECT_EQ(Right(), std::vector<QWidget*>{pages[6]});
    EXPECT_EQ(pages[6]->refreshes, 1);

    // Moving with the keyboard opens nothing.
    w->SettingsPanel()->Tree()->setFocus();
    for (int i = 0; i < 2; ++i) QTest::keyClick(w->SettingsPanel()->Tree(), Qt::Key_Down);
    EXPECT_NE(w->SettingsPanel()->Tree()->currentItem(), Item(1));
    EXPECT_EQ(pages[7]->refreshes, 0);

    Open(10);   // a page this build does not have: the area stays empty, no message
    EXPECT_TRUE(Right().empty());
    Open(6);
    Open(6);
    EXPECT_EQ(pages[6]->refreshes, 2);
    for (int b : {kDeviceList, kSettings}) Click(b);   // and back: the same page, not read again
    EXPECT_EQ(Right(), std::vector<QWidget*>{pages[6]});
    Open(6);
    EXPECT_EQ(pages[6]->refreshes, 2);
    for (int b : {kPreview, kSettings}) Click(b);   // after Preview the same node reads its page again
    EXPECT_TRUE(Right().empty());
    Open(6);
    EXPECT_EQ(pages[6]->refreshes, 3);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

// After every step the highlighted node is the one whose page is shown.
TEST_F(ShellTest, TreeHighlightsTheNodeOfThePageShown) {
    FakeCamera camera;
    camera.Login("IPC-10Z3");
    MakeWindow();
    Click(kSettings);
    QTreeWidget* tree = w->SettingsPanel()->Tree();
    // A press that collapses the open branch, a jitter with the button held
    // (by then another row lies under the cursor), the release.
    auto pressAndJitter = [&](int page, Qt::MouseButton button) {
        const QPoint at = tree->visualItemRect(Item(page)).center();
        QTest::mousePress(tree->viewport(), button, {}, at);
        QMouseEvent move(QEvent::MouseMove, at + QPoint(0, 3), tree->viewport()->mapToGlobal(at + QPoint(0, 3)),
                         Qt::NoButton, button, Qt::NoModifier);
        QCoreApplication::sendEvent(tree->viewport(), &move);
        QTest::mouseRelease(tree->viewport(), button, {}, at + QPoint(0, 3));
        QTest::qWait(0);
    };
    const std::vector<QWidget*> none;
    auto page = [&](int n) { return std::vector<QWidget*>{pages[n]}; };
    struct Step {
        const char* what;
        std::function<void()> act;
        int highlighted;   // page number of the node, -1 none
        std::vector<QWidget*> right;
    };
    const Step steps[] = {
        {"leaf", [&] { Open(8); }, 8, page(8)},
        {"group below the open one", [&] { pressAndJitter(4, Qt::LeftButton); }, 4, page(23)},
        {"right button", [&] { pressAndJitter(24, Qt::RightButton); }, 4, page(23)},
        {"group above", [&] { pressAndJitter(1, Qt::LeftButton); }, 1, page(6)},
        {"leaf in another group", [&] { Open(31); }, 31, page(31)},
        {"485 node (no page in this build)", [&] { Open(30); }, 30, none},
        {"485 node removed", [&] { camera.Login("IPC-10X9"); }, -1, none},
        {"root", [&] { Open(0); }, 0, none},
        {"leaf after the root", [&] { Open(24); }, 24, page(24)},
        {"device list", [&] { Click(kDeviceList); }, -1, std::vector<QWidget*>{search}},
        {"settings again", [&] { Click(kSettings); }, 24, page(24)},
        {"a node beside the device list", [&] { Click(kDeviceList), Open(24); }, 24, page(24)},
        {"Preview and back", [&] { Click(kPreview), Click(kSettings); }, -1, none},
    };
    for (const Step& step : steps) {
        step.act();
        const TreeNodeRecord* current = w->SettingsPanel()->RecordOf(tree->currentItem());
        EXPECT_EQ(current ? current->page : -1, step.highlighted) << step.what;
        EXPECT_EQ(tree->selectedItems().size(), step.highlighted < 0 ? 0u : 1u) << step.what;
        EXPECT_EQ(Right(), step.right) << step.what;
        EXPECT_EQ(w->Button(kDeviceList)->isChecked(), step.right == std::vector<QWidget*>{search}) << step.what;
    }
}

TEST_F(ShellTest, TreeSendsThePageOfTheClickedNodeOnceAndOfARemovedNodeWhenBack) {
    FakeCamera camera;
    EventSink host(ky::msg::kShowPage);
    CLeftSettingsDlg panel;
    panel.SetHost(&host);
    panel.resize(300, 900);
    panel.show();
    auto click = [&](int page, Qt::MouseButton b = Qt::LeftButton) {
        ClickItem(panel.Tree(), panel.FindItem(page), b);
    };
    for (int page : {24, 24, 5}) click(page);
    // Single-branch expansion: the group of the new node opens, the old closes.
    EXPECT_TRUE(panel.FindItem(5)->isExpanded());
    EXPECT_FALSE(panel.FindItem(4)->isExpanded());
    click(0);
    EXPECT_FALSE(panel.FindItem(5)->isExpanded());
    click(35);
    click(36, Qt::RightButton);   // selects nothing to open
    click(30);
    camera.Login("IPC-10X9");   // the RS-485 node goes, and comes back
    panel.RefreshTree();
    camera.Login("IPC-10Z3");
    panel.RefreshTree();
    click(30);
    EXPECT_EQ(host.pages, (std::vector<int>{24, 5, 0, 35, 30, 30}));
}

TEST_F(ShellTest, Rs485NodeFollowsTheLoggedInDeviceType) {
    FakeCamera camera;
    MakeWindow();
    QTreeWidgetItem* advanced = Item(4);
    auto count485 = [&] {
        int n = 0;
        for (int i = 0; i < advanced->childCount(); ++i) n += advanced->child(i)->text(0) == "485 set";
        return n;
    };
    EXPECT_EQ(count485(), 1);   // built with every node
    // Only where the 7th and 8th characters are "Z3"; added once.
    for (auto [type, nodes] : {std::pair{"IPC-100X9", 0}, {"IPC-10Z3-A", 1}, {"IPC-10Z3-A", 1}, {"IPC-10Z", 0}}) {
        camera.Login(type);
        EXPECT_EQ(count485(), nodes) << type;
        EXPECT_TRUE(!nodes || advanced->child(advanced->childCount() - 1) == Item(30)) << type;
    }
    EXPECT_EQ(pages[24]->logins, 4);
    camera.loggedIn = false;
    std::strcpy(camera.device.info.deviceType, "IPC-10Z3");
    w->SettingsPanel()->RefreshTree();   // type fits, but nobody is logged in
    EXPECT_EQ(count485(), 0);
}

TEST_F(ShellTest, LanguageFileTranslatesWindowTreeDialogsAndPageErrorsAndMismatchedRequestsAreIgnored) {
    dir.WriteLang(
        "lang_Russian.dat",
        "[P_CAMTOOL_DLG]\nPreview=Просмотр\n"
        "[P_LEFTSETTINGS_DLG]\nImage=Изображение\nAdvanced=Очень-очень-длинное-название-группы\n"
        "[CONFIG]\nERROR=ОШИБКА\n"
        "[P_TEST_DLG]\nTitle=Заголовок\nName=Имя\nApply=Применить\nOn=Вкл\nOne=Один\nFrame=Рамка\nInner=Внутри\n");
    MakeWindow();
    // Untranslated texts stay English; the title is never translated.
    EXPECT_EQ(w->Button(kPreview)->text() + " " + w->Button(kDeviceList)->text() + " " + Item(8)->text(0),
              "Просмотр Device list Изображение");
    EXPECT_EQ(w->windowTitle(), "KyCameraTool v2.0");
    EXPECT_EQ(Item(4)->text(0).size(), 31);   // labels hold 31 characters
    // Requested page numbers out of range, one that is not its node's, none at all.
    TreeNodeRecord record;
    record.level = 2;
    for (auto [number, page] : {std::pair{39, 39}, {100, 100}, {-1, -1}, {24, 8}}) {
        record.page = page;
        CShowPageEvent request(number, &record);
        QCoreApplication::sendEvent(w.get(), &request);
    }
    CShowPageEvent none(8, nullptr);
    QCoreApplication::sendEvent(w.get(), &none);
    EXPECT_EQ(pages[8]->refreshes + pages[24]->refreshes, 0);
    EXPECT_EQ(presenter.texts, QStringList(3, "ОШИБКА"));
    EXPECT_EQ(presenter.kinds, "eee");

    // A dialog's own section translates its title and direct child controls only.
    QWidget dialog;
    dialog.setWindowTitle("Title");
    auto* group = new QGroupBox("Frame", &dialog);
    const std::pair<QWidget*, QString> expected[] = {
        {new QLabel("Name", &dialog), "Имя"},       {new QPushButton("Apply", &dialog), "Применить"},
        {new QCheckBox("On", &dialog), "Вкл"},      {new QRadioButton("One", &dialog), "Один"},
        {new QLabel("Inner", group), "Inner"},      // grandchild
        {new QLineEdit("Name", &dialog), "Name"},   // edit boxes keep their content
        {new QLabel("Unknown", &dialog), "Unknown"}};
    TranslateWindowEx("P_TEST_DLG", &dialog);
    EXPECT_EQ(dialog.windowTitle() + group->title(), "ЗаголовокРамка");
    for (auto [widget, text] : expected) EXPECT_EQ(widget->property("text").toString(), text);
    // TranslateWindow reads section CONFIG, which lacks the text.
    QWidget other;
    auto* label = new QLabel("Name", &other);
    TranslateWindow(&other);
    EXPECT_EQ(label->text(), "Name");
}

TEST_F(ShellTest, EscAndEnterDoNothingInTheMainWindowAndRestoreMaximisesAgain) {
    MakeWindow();
    Click(kSettings);
    auto* edit = new QLineEdit(pages[24]);
    edit->show();
    int reactions = 0;
    QObject::connect(edit, &QLineEdit::returnPressed, [&] { ++reactions; });
    // A form that takes Enter (the connection form) gets it.
    auto* form = new QWidget(pages[24]);
    form->setProperty("acceptsEnter", true);
    auto* formEdit = new QLineEdit(form);
    form->show();
    int enters = 0;
    QObject::connect(formEdit, &QLineEdit::returnPressed, [&] { ++enters; });
    for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(formEdit, key);
    EXPECT_EQ(enters, 2);
    QObject::connect(w->Button(kPreview), &QPushButton::clicked, [&] { ++reactions; });
    edit->setFocus();
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(edit, key);
    for (auto key : {Qt::Key_Return, Qt::Key_Escape}) QTest::keyClick(w->Button(kPreview), key);
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_EQ(reactions, 0);
    EXPECT_TRUE(w->isVisible());
    QTest::keyClicks(edit, "ab");   // other keys still reach the controls
    EXPECT_EQ(edit->text(), "ab");

    w->showNormal();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w->windowState() & Qt::WindowMaximized);
}

TEST_F(ShellTest, ToolLoginIsAskedAfterAnHourWithoutClicks) {
    MakeWindow();
    qint64 now = 1'000'000;
    w->SetClock([&] { return now; });
    int asked = 0, clicks = 0;
    bool answer = false;
    w->SetLoginRunner([&](QWidget*) { return ++asked, answer; });
    QObject::connect(w->Button(kDeviceList), &QPushButton::clicked, [&] { ++clicks; });

    now += 3599;
    Click(kDeviceList);
    now += 3600;   // idle for the full hour: the click asks for the login instead
    Click(kDeviceList);
    Click(kDeviceList);   // cancelled: still idle
    EXPECT_EQ(std::pair(asked, clicks), std::pair(2, 1));
    EXPECT_EQ(w->LastActivity(), now - 3600);
    answer = true;
    Click(kDeviceList);
    EXPECT_EQ(w->LastActivity(), now);
    Click(kDeviceList);
    EXPECT_EQ(std::pair(asked, clicks), std::pair(3, 2));
    // The request as a posted message runs the login too.
    QCoreApplication::postEvent(w.get(), new QEvent(ky::msg::Type(ky::msg::kToolLogin)));
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 4);
}

TEST_F(ShellTest, RegistryKeepsOnlyPageNodeNumbers) {
    CPageRegistry r;
    auto make = [](QWidget* p) -> CSettingsPage* { return new FakePage(p); };
    for (int page : {11, 7, 24}) EXPECT_TRUE(r.registerPage(page, make));
    for (int bad : {0, 1, 5, 18, 27, 28, 39}) EXPECT_FALSE(r.registerPage(bad, make)) << bad;
    EXPECT_EQ(r.creationOrder(), (std::vector<int>{7, 24, 11}));
    EXPECT_TRUE(CPageRegistry::Instance().contains(24));   // the default-settings page ships
}

TEST(StartupTest, StartsOnlyWithADatabaseAndEndsCleanly) {
    for (int run : {0, 1, 2}) {   // no db.dat, no db.dat but a language file, db.dat
        GuiAppDir dir;
        if (run == 1) dir.WriteLang("lang_chn.dat", "[CONFIG]\nFailed to initialize data!=数据初始化失败!\n");
        if (run == 2) dir.CreateDb("580247!K", "root", "", 1);
        RecordingPresenter presenter;
        CKyCamToolApp app;
        app.SetAppDir(dir.path());
        ASSERT_EQ(app.InitInstance(), run == 2);
        ASSERT_EQ(app.MainWindow() && app.MainWindow()->isVisible(), run == 2);
        if (run < 2) {
            // The database's own reason comes first, its code in eight hex digits.
            ASSERT_EQ(presenter.texts.size(), 2);
            EXPECT_EQ(presenter.texts[0].split('\n')[0].size(), 8);
            EXPECT_EQ(presenter.Last(), run ? "数据初始化失败!" : "Failed to initialize data!");
            EXPECT_FALSE(std::filesystem::exists(dir.file("db.dat")));   // never created by the tool
        } else {
            EXPECT_TRUE(presenter.texts.isEmpty());
            EXPECT_EQ(CurrentToolUser().user + " " + CurrentToolUser().password, "admin 580247!K");   // built in
            ASSERT_EQ(g_pLocalStore, app.Store());
            EXPECT_EQ(g_pLocalStore->GetDefaults().strUser + " " + std::to_string(g_pLocalStore->GetDefaults().stream),
                      "root 1");
        }
        app.ExitInstance();
        app.ExitInstance();   // twice is harmless
        EXPECT_EQ(app.MainWindow(), nullptr);
        EXPECT_EQ(g_pLocalStore, nullptr);
    }
}

class StoreDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { CurrentToolUser().Set("admin", "580247!K"); }
    void OpenStore(const std::string& user = "admin", const std::string& password = "tovel", int stream = 0) {
        dir.CreateDb("580247!K", user, password, stream);
        ASSERT_TRUE(store.Init(dir.path()));
    }
    // The first defaults row as a fresh store loads it.
    DeviceDefaults Stored() {
        CLocalStore other;
        EXPECT_TRUE(other.Init(dir.path()));
        return other.GetDefaults();
    }

    GuiAppDir dir;
    RecordingPresenter presenter;
    CLocalStore store;
};

TEST_F(StoreDialogsTest, LoginAcceptsOnlyAStoredPasswordOf8To31CharactersAndOnlyCancelCloses) {
    for (auto [stored, accepted] : {std::pair<std::string, bool>{"Abcdefg", false},
                                    {"Abcdefg8", true},
                                    {std::string(30, 'a') + "1", true},
                                    {std::string(31, 'a') + "1", false}}) {
        GuiAppDir local;
        local.CreateDb(stored);
        CLocalStore db;
        ASSERT_TRUE(db.Init(local.path()));
        CurrentToolUser().Set("admin", "580247!K");
        presenter.Clear();
        CLoginDlg login(&db);
        login.PasswordEdit()->setText("Wrongpw8");
        login.OnOK();   // as often as the user likes
        login.OnOK();
        login.PasswordEdit()->setText(QString::fromStdString(stored));
        login.OnOK();
        EXPECT_EQ(login.result(), accepted ? QDialog::Accepted : QDialog::Rejected) << stored;
        EXPECT_EQ(presenter.texts, QStringList(accepted ? 2 : 3, "Wrong password!")) << stored;
        EXPECT_EQ(CurrentToolUser().password.toStdString(), accepted ? stored : "580247!K");
    }
    // Without a database nothing is accepted; Esc does not close, Cancel does.
    presenter.Clear();
    CLoginDlg login(nullptr);
    EXPECT_EQ(login.windowTitle(), "Login");   // English built in: no language file
    EXPECT_FALSE(login.UserEdit()->isEnabled());
    EXPECT_EQ(login.PasswordEdit()->echoMode(), QLineEdit::Password);
    login.PasswordEdit()->setText("580247!K");
    login.OnOK();
    login.show();
    QTest::keyClick(&login, Qt::Key_Escape);
    EXPECT_TRUE(login.isVisible());
    QTest::mouseClick(login.findChild<QPushButton*>("2"), Qt::LeftButton);
    EXPECT_FALSE(login.isVisible());
    EXPECT_EQ(login.result(), QDialog::Rejected);
    EXPECT_EQ(presenter.texts, QStringList{"Wrong password!"});
}

TEST_F(StoreDialogsTest, DefaultsPageMakesItsFoldersShowsTheStoredDefaultsAndValidatesInOrder) {
    OpenStore("root", "secret", 1);
    CP_DefDlg page(nullptr, &store);
    // The default folders are filled in, stored and created.
    EXPECT_EQ(page.SnapEdit()->text().toStdString() + " " + page.RecEdit()->text().toStdString(),
              dir.file("SnapPic") + " " + dir.file("RecFiles"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("SnapPic")));
    EXPECT_EQ(CIniFile(dir.file("settings.ini")).GetString("Config", "RecFiles", ""), dir.file("RecFiles"));
    page.RefreshFromDevice();
    EXPECT_EQ(page.UserEdit()->text() + " " + page.PasswordEdit()->text(), "root secret");
    EXPECT_EQ(page.StreamList()->currentIndex(), 1);
    for (auto [user, password, message] : {
             std::tuple{"中", "", "Password cannot be empty!"},
             {"中", "中", "User name cannot be Chinese!"},
             {"admin", "中", "Password cannot be Chinese!"},
             {"admin", "\xE9\xBF\x8F", "Password cannot be Chinese!"},             // U+9FCF, the last one counted
             {"admin", " ", "Set successfully!"},                                  // one blank is a password
             {"admin", "かなカナ\xE9\xBF\x90\xE3\x90\x80", "Set successfully!"},   // kana, U+9FD0, U+3400
         }) {
        page.UserEdit()->setText(QString::fromUtf8(user));
        page.PasswordEdit()->setText(QString::fromUtf8(password));
        page.StreamList()->setCurrentIndex(0);
        presenter.Clear();
        page.OnApply();
        EXPECT_EQ(presenter.Last(), message) << password;
        const bool saved = presenter.Last() == "Set successfully!";
        EXPECT_EQ(Stored().strPassword == "secret", !saved) << password;   // nothing changed by a refusal
    }
    const DeviceDefaults saved = Stored();
    EXPECT_EQ(saved.strUser + " " + saved.strPassword + " " + std::to_string(saved.stream),
              "admin かなカナ\xE9\xBF\x90\xE3\x90\x80 0");
    EXPECT_STREQ(store.GetDefaults().password, saved.strPassword.c_str());
}

TEST_F(StoreDialogsTest, DefaultsPageIsTranslatedAndKeepsUnsavedDefaultsWhenSavingFails) {
    OpenStore();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file("db.dat").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM tblDeviceInfo", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    dir.WriteLang("lang_Polish.dat",
                  "[P_DEF_DLG]\nFirst stream=Główny\nSetting failed!=Ustawienie nie powiodło się!\n");

    CP_DefDlg page(nullptr, &store);
    EXPECT_EQ(page.StreamList()->itemText(0) + page.StreamList()->itemText(1), "GłównySecond stream");
    page.RefreshFromDevice();
    page.PasswordEdit()->setText("newpass");
    page.OnApply();
    EXPECT_EQ(presenter.Last(), "Ustawienie nie powiodło się!");
    page.PasswordEdit()->clear();
    page.RefreshFromDevice();   // the new defaults stay in use until the program ends
    EXPECT_EQ(page.PasswordEdit()->text(), "newpass");
}

TEST_F(StoreDialogsTest, FolderChoicesAreStoredAtOnceAndCancelKeepsTheFolder) {
    CP_DefDlg page(nullptr, nullptr);
    const std::string chosen = dir.file("pics/new");
    QString answer = QString::fromStdString(chosen);
    QStringList titles;
    page.SetFolderChooser([&](QWidget*, const QString& title, const QString&) { return titles << title, answer; });
    page.OnChooseSnapDir();
    answer.clear();   // cancelled
    page.OnChooseSnapDir();
    page.OnChooseRecDir();   // cancelled with no folder set: the default
    EXPECT_EQ(page.SnapEdit()->text().toStdString() + " " + page.RecEdit()->text().toStdString(),
              chosen + " " + dir.file("RecFiles"));
    EXPECT_EQ(GetSnapDir(), chosen);
    EXPECT_TRUE(std::filesystem::is_directory(chosen));
    answer = QString::fromStdString(dir.file("movies"));
    page.OnChooseRecDir();
    EXPECT_EQ(GetRecDir(), dir.file("movies"));
    EXPECT_EQ(titles, QStringList(4, "Choose a folder"));
    EXPECT_TRUE(presenter.texts.isEmpty());
}

}   // namespace
