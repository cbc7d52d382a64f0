// The DDNS/UPnP page: shown values and rows, what Apply sends (hidden fields
// and exotic texts too), the internet address, Cancel and the cleared page.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "gui/pages/network/P_RmsetDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

const auto kMainRows = {1131, 1282, 1110, 1283, 1001, 1284, 1002, 1285};
const auto kProviderRows = {1202, 1286, 1094, 1287, 1095, 1288, 1103, 1289};

class DdnsPageTest : public kytest::PageFixture<CP_RmsetDlg> {
protected:
    void SetUp() override {
        kytest::PageFixture<CP_RmsetDlg>::SetUp();
        EmuSet({{"our_enable", "0"}, {"our_uname", "maker user"}, {"our_passwd", "p+q%41"}, {"upm_enable", "1"}});
        EmuSet({{"d3th_enable", "1"}, {"d3th_service", "2"}, {"d3th_domain", "cam.example"}});
        Refresh(*page);
    }
    QLineEdit* Edit(int id) const { return Ctl<QLineEdit>(id); }
    QRadioButton* Radio(int id) const { return Ctl<QRadioButton>(id); }
};

TEST_F(DdnsPageTest, ShowsTheCameraValuesAndRows) {
    EXPECT_TRUE(Radio(1277)->isChecked() && Radio(1278)->isChecked() && Radio(1280)->isChecked());
    EXPECT_TRUE(Shown(kMainRows, false) && Shown(kProviderRows));
    // Hidden rows are filled all the same.
    EXPECT_EQ(kytest::Texts(*page, {1131, 1110, 1001, 1002, 1103}),
              (QStringList{"ddns.example.net", "80", "maker user", "p+q%41", "cam.example"}));
    EXPECT_EQ(Ctl<QComboBox>(1202)->currentText(), "3322");
    Radio(1276)->click();
    Radio(1279)->click();
    EXPECT_TRUE(Shown(kMainRows) && Shown(kProviderRows, false));

    // Cancel reads the camera again.
    Edit(1131)->setText("typed");
    Ctl<QPushButton>(2)->click();
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Edit(1131)->text(), "ddns.example.net");
}

// Texts with query and escape characters, blanks and letters beyond ASCII
// arrive as typed and come back unchanged.
TEST_F(DdnsPageTest, ApplyStoresEveryTextAsTyped) {
    Radio(1276)->click();
    Radio(1281)->click();
    const std::tuple<int, const char*, const char*> typed[] = {
        {1131, "our_server", "a+b"},       {1001, "our_uname", "100% sure"},
        {1002, "our_passwd", "x&cmd=y#z"}, {1094, "d3th_uname", "Gr\xC3\xBC\xC3\x9F dich"},
        {1103, "d3th_domain", "%41%2B"},   {1095, "d3th_passwd", "\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA"}};
    for (const auto& [id, key, text] : typed) Edit(id)->setText(QString::fromUtf8(text));
    Edit(1110)->setText("8081");
    Ctl<QComboBox>(1202)->setCurrentIndex(-1);
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    for (const auto& [id, key, text] : typed) EXPECT_EQ(EmuGet(key), text) << key;
    ExpectEmu("our_enable=1 our_port=8081 upm_enable=0 d3th_service=-1");
    Refresh(*page);
    for (const auto& [id, key, text] : typed) EXPECT_EQ(Edit(id)->text(), QString::fromUtf8(text));

    // A refused write clears the page without a message.
    Fault("error");
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_EQ(Edit(1131)->text(), "");
}

TEST_F(DdnsPageTest, InternetAddressOnRequest) {
    auto shown = [&] {
        Ctl<QPushButton>(1275)->click();
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
