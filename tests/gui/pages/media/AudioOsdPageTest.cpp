// The audio and OSD pages against the emulated camera: what they show, the
// order and texts of their validation, what reaches the camera.
#include <QComboBox>
#include <QLineEdit>
#include <functional>

#include "gui/pages/ChoiceGroup.h"
#include "gui/pages/media/P_AudioDlg.h"
#include "gui/pages/media/P_OSDDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

template <class Page>
class MediaPageTest : public kytest::PageTest {
protected:
    void SetUp() override {
        kytest::PageTest::SetUp();
        page = std::make_unique<Page>();
    }
    void TearDown() override {
        page.reset();
        kytest::PageTest::TearDown();
    }
    // Applies and returns the messages shown.
    QStringList ApplyMessages() {
        presenter.Clear();
        Apply(*page);
        return presenter.texts;
    }
    // The param.cgi queries the camera got since the last call.
    std::string Sent() { return EmuControl("requests?clear=1"); }

    std::unique_ptr<Page> page;
};

using AudioPageTest = MediaPageTest<CP_AudioDlg>;
using OsdPageTest = MediaPageTest<CP_OSDDlg>;

TEST_F(AudioPageTest, ShowsTheCameraOrItsDefaults) {
    EmuSet("aeformat_1", "G726");   // compared without regard to case
    EmuSet("aeswitch_1", "1");
    EmuSet("aeswitch_2", "0");
    EmuSet("volume", "55");
    EmuSet("volin_type", "0");
    EmuSet("ao_volume", "66");
    Refresh(*page);
    EXPECT_EQ(page->FormatList()->currentText(), "G726");
    EXPECT_EQ(page->StreamSwitch(0)->Choice(), 0);
    EXPECT_EQ(page->StreamSwitch(1)->Choice(), 1);
    EXPECT_EQ(page->InputTypeList()->currentText(), "Line in");
    EXPECT_EQ(page->InVolumeEdit()->text(), "55");
    EXPECT_EQ(page->OutVolumeEdit()->text(), "66");

    // A format the list does not hold selects nothing.
    EmuSet("aeformat_1", "g711u");
    EmuSet("volin_type", "1");
    Refresh(*page);
    EXPECT_EQ(page->FormatList()->currentIndex(), -1);
    EXPECT_EQ(page->InputTypeList()->currentText(), "MIC");

    // Nothing answers: streams Off, line in, 80 and 90.
    Fault("no-200");
    Refresh(*page);
    EXPECT_EQ(page->StreamSwitch(0)->Choice(), 1);
    EXPECT_EQ(page->InputTypeList()->currentIndex(), 0);
    EXPECT_EQ(page->InVolumeEdit()->text(), "80");
    EXPECT_EQ(page->OutVolumeEdit()->text(), "90");
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(AudioPageTest, ApplyWritesBothStreamsInTheListsFormat) {
    EmuSet("aeformat_2", "g711u");
    Refresh(*page);
    page->FormatList()->setCurrentIndex(1);
    page->StreamSwitch(0)->Choose(1);
    page->StreamSwitch(1)->Choose(0);
    page->InputTypeList()->setCurrentIndex(0);
    page->InVolumeEdit()->setText("100");
    page->OutVolumeEdit()->setText("1");
    Sent();
    EXPECT_EQ(ApplyMessages(), QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(Sent(),
              "cmd=setaencattr&-chn=11&-aeswitch=0&-aeformat=g726&cmd=setaencattr&-chn=12&-aeswitch=1&-aeformat=g726"
              "&cmd=setaudioinvolume&-volume=100&-volin_type=0&cmd=setaudiooutvolume&-volume=1");
    EXPECT_EQ(EmuGet("aeformat_2"), "g726");
    EXPECT_EQ(EmuGet("ao_volume"), "1");

    // No format chosen goes out as G711; a failed write clears the choices.
    page->FormatList()->setCurrentIndex(-1);
    Fault("no-200");
    EXPECT_EQ(ApplyMessages(), QStringList{"Parameter setting failed!"});
    EXPECT_EQ(page->InputTypeList()->currentIndex(), -1);
    EXPECT_EQ(page->StreamSwitch(1)->Choice(), -1);
    Fault("none");
    page->InputTypeList()->setCurrentIndex(1);
    Apply(*page);
    EXPECT_EQ(EmuGet("aeformat_1"), "g711a");
}

TEST_F(AudioPageTest, RefusesInOrderAndSendsNothing) {
    const char* range = "Volume out of range (1-100), please reset!";
    struct Case {
        const char* in;
        int type;
        const char* out;
        const char* message;
    } cases[] = {
        {"0", 0, "50", range},   // a lone 0 is cleared: empty is 0
        {"101", -1, "0", range}, {"100", -1, "101", "Please select the line input type!"},
        {"1", 1, "101", range},  {"1", 1, "", range},
    };
    Refresh(*page);
    Sent();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        page->InVolumeEdit()->setText(c.in);
        page->InputTypeList()->setCurrentIndex(c.type);
        page->OutVolumeEdit()->setText(c.out);
        EXPECT_EQ(ApplyMessages(), QStringList{c.message});
    }
    EXPECT_EQ(Sent(), "");
}

TEST_F(AudioPageTest, VolumeFieldsTakeAtMostThreeDigits) {
    const std::pair<const char*, const char*> typed[] = {{"0", ""}, {"12a", "12"}, {"1234", "123"}, {"a9", "9"}};
    for (const auto& [text, kept] : typed) {
        page->InVolumeEdit()->setText(text);
        EXPECT_EQ(page->InVolumeEdit()->text(), kept) << text;
    }
}

TEST_F(AudioPageTest, WithoutCameraThePageEmptiesAndSendsNothing) {
    Refresh(*page);
    camera.loggedIn = false;
    Refresh(*page);
    EXPECT_EQ(page->FormatList()->currentIndex(), -1);
    EXPECT_EQ(page->StreamSwitch(0)->Choice(), -1);
    page->FormatList()->setCurrentIndex(1);
    Sent();
    EXPECT_TRUE(ApplyMessages().isEmpty());
    EXPECT_EQ(page->FormatList()->currentIndex(), -1);
    EXPECT_EQ(Sent(), "");
}

TEST_F(OsdPageTest, ShowsBothRegionsAndTheUnescapedName) {
    EmuSet("overlay.show_0", "0");
    EmuSet("overlay.place_0", "2");
    EmuSet("overlay.place_1", "1");
    EmuSet("overlay.name_1", "Gate \"A\" `1` \\ 前门");
    Refresh(*page);
    EXPECT_EQ(page->ShowChoice(0)->Choice(), 1);
    EXPECT_EQ(page->PlaceChoice(0)->Choice(), 2);
    EXPECT_EQ(page->ShowChoice(1)->Choice(), 0);
    EXPECT_EQ(page->PlaceChoice(1)->Choice(), 1);
    EXPECT_EQ(page->NameEdit()->text(), QString::fromUtf8("Gate \"A\" `1` \\ 前门"));

    Fault("no-200");
    Refresh(*page);
    EXPECT_EQ(page->ShowChoice(0)->Choice(), -1);
    EXPECT_EQ(page->PlaceChoice(1)->Choice(), -1);
    EXPECT_EQ(page->NameEdit()->text(), "IP Camera");
}

TEST_F(OsdPageTest, ApplyWritesTimeThenNameAndCountsNameBytes) {
    Refresh(*page);
    page->ShowChoice(0)->Choose(1);
    page->PlaceChoice(0)->Choose(3);
    page->ShowChoice(1)->Choose(0);
    page->PlaceChoice(1)->Choose(2);
    page->NameEdit()->setText("Front door");
    Sent();
    EXPECT_EQ(ApplyMessages(), QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(Sent(),
              "cmd=setoverlayattr&-region=0&-show=0&-place=3\n"
              "cmd=setoverlayattr&-region=1&-show=1&-place=2&-name=Front+door");
    EXPECT_EQ(EmuGet("overlay.name_1"), "Front door");

    // 31 bytes go out, 32 do not; a CJK character is three bytes.
    const struct {
        QString name;
        bool sent;
    } names[] = {
        {QString(31, 'n'), true},
        {QString(32, 'n'), false},
        {QString::fromUtf8("前门前门前门前门前门"), true},
        {QString::fromUtf8("前门前门前门前门前门x"), true},
        {QString::fromUtf8("前门前门前门前门前门前"), false},
    };
    for (const auto& n : names) {
        page->NameEdit()->setText(n.name);
        const QStringList shown = ApplyMessages();
        EXPECT_EQ(shown, QStringList{n.sent ? "Parameter setting succeeded!" : "OSD length does not exceed 31!"})
            << n.name.toStdString();
        if (n.sent) {
            EXPECT_EQ(EmuGet("overlay.name_1"), n.name.toStdString());
        }
    }
    Sent();
    page->NameEdit()->setText(QString(32, 'n'));
    Apply(*page);
    EXPECT_EQ(Sent(), "");
}

TEST_F(OsdPageTest, FailedWriteOrNoCameraResetsWithoutMessage) {
    Refresh(*page);
    page->NameEdit()->setText("Yard");
    Fault("no-200");
    EXPECT_TRUE(ApplyMessages().isEmpty());
    EXPECT_EQ(page->NameEdit()->text(), "IP Camera");
    EXPECT_EQ(page->ShowChoice(1)->Choice(), -1);

    Fault("none");
    Refresh(*page);
    camera.loggedIn = false;
    page->NameEdit()->setText("Yard");
    EXPECT_TRUE(ApplyMessages().isEmpty());
    EXPECT_EQ(page->NameEdit()->text(), "IP Camera");
    EXPECT_EQ(page->PlaceChoice(0)->Choice(), -1);
}

}   // namespace
