// The DDNS/UPnP page against the emulated camera: shown values and rows,
// what Apply sends (hidden fields and exotic texts too), the internet
// address, Cancel and the cleared page.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "gui/pages/network/P_RmsetDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class DdnsPageTest : public kytest::PageTest {
protected:
    void SetUp() override {
        kytest::PageTest::SetUp();
        page = std::make_unique<CP_RmsetDlg>();
        EmuSet("our_enable", "0");
        EmuSet("our_uname", "maker user");
        EmuSet("our_passwd", "p+q%41");
        EmuSet("d3th_enable", "1");
        EmuSet("d3th_service", "2");
        EmuSet("d3th_domain", "cam.example");
        EmuSet("upm_enable", "1");
    }
    void TearDown() override {
        page.reset();
        kytest::PageTest::TearDown();
    }
    QLineEdit* Edit(int id) const { return page->Control<QLineEdit>(id); }
    QRadioButton* Radio(int id) const { return page->Control<QRadioButton>(id); }
    bool Visible(int id) const { return !page->Control<QWidget>(id)->isHidden(); }
    static constexpr int kMainRows[] = {1131, 1282, 1110, 1283, 1001, 1284, 1002, 1285};
    static constexpr int kProviderRows[] = {1202, 1286, 1094, 1287, 1095, 1288, 1103, 1289};
    std::unique_ptr<CP_RmsetDlg> page;
};

TEST_F(DdnsPageTest, ShowsTheCameraValuesAndRows) {
    Refresh(*page);
    EXPECT_TRUE(Radio(1277)->isChecked());
    EXPECT_TRUE(Radio(1278)->isChecked());
    EXPECT_TRUE(Radio(1280)->isChecked());
    for (int id : kMainRows) EXPECT_FALSE(Visible(id)) << id;
    for (int id : kProviderRows) EXPECT_TRUE(Visible(id)) << id;
    // Hidden rows are filled all the same.
    QStringList texts;
    for (int id : {1131, 1110, 1001, 1002, 1103}) texts << Edit(id)->text();
    EXPECT_EQ(texts, (QStringList{"ddns.example.net", "80", "maker user", "p+q%41", "cam.example"}));
    EXPECT_EQ(page->Control<QComboBox>(1202)->currentText(), "3322");

    Radio(1276)->click();
    Radio(1279)->click();
    for (int id : kMainRows) EXPECT_TRUE(Visible(id)) << id;
    for (int id : kProviderRows) EXPECT_FALSE(Visible(id)) << id;

    // Cancel reads the camera again.
    Edit(1131)->setText("typed");
    page->Control<QPushButton>(2)->click();
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Edit(1131)->text(), "ddns.example.net");
    EXPECT_TRUE(presenter.texts.isEmpty());

    camera.loggedIn = false;
    Refresh(*page);
    EXPECT_FALSE(Radio(1276)->isChecked() || Radio(1277)->isChecked() || Radio(1280)->isChecked());
    EXPECT_EQ(Edit(1131)->text(), "");
    EXPECT_EQ(page->Control<QComboBox>(1202)->currentIndex(), -1);
}

TEST_F(DdnsPageTest, ApplyStoresEveryTextAsTyped) {
    Refresh(*page);
    Radio(1276)->click();
    Radio(1281)->click();
    // Texts with query and escape characters, blanks and letters beyond ASCII.
    const QString texts[] = {"a+b",
                             "100% sure",
                             "x&cmd=y#z",
                             QString::fromUtf8("Gr\xC3\xBC\xC3\x9F dich"),
                             QString::fromUtf8("\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA"),
                             "%41%2B"};
    const int edits[] = {1131, 1001, 1002, 1094, 1095, 1103};
    for (int i = 0; i < 6; ++i) Edit(edits[i])->setText(texts[i]);
    Edit(1110)->setText("8081");
    page->Control<QComboBox>(1202)->setCurrentIndex(-1);
    Apply(*page);
    EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
    const char* keys[] = {"our_server", "our_uname", "our_passwd", "d3th_uname", "d3th_passwd", "d3th_domain"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(QString::fromStdString(EmuGet(keys[i])), texts[i]) << keys[i];
    const std::pair<const char*, const char*> numbers[] = {
        {"our_enable", "1"}, {"our_port", "8081"}, {"upm_enable", "0"}, {"d3th_service", "-1"}};
    for (const auto& [key, value] : numbers) EXPECT_EQ(EmuGet(key), value) << key;

    // And they come back unchanged.
    Refresh(*page);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Edit(edits[i])->text(), texts[i]);

    // A refused write clears the page without a message.
    presenter.Clear();
    Fault("error");
    Apply(*page);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(Edit(1131)->text(), "");
}

TEST_F(DdnsPageTest, InternetAddressOnRequest) {
    auto* show = page->Control<QPushButton>(1275);
    auto shown = [&] {
        show->click();
        EXPECT_TRUE(WaitIdle(*page));
        return Edit(1134)->text();
    };
    EXPECT_EQ(shown(), "203.0.113.25");
    EmuSet("interip", "");
    EXPECT_EQ(shown(), "Internet IP Address: NULL");
    Fault("silent");
    EmuSet("interip", "203.0.113.26");
    EXPECT_EQ(shown(), "Internet IP Address: NULL");
}

}   // namespace
