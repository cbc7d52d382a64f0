// The audio and OSD pages against the emulated camera: what they show, the
// order and texts of their validation, what reaches the camera.
#include <QComboBox>
#include <QLineEdit>

#include "gui/pages/ChoiceGroup.h"
#include "gui/pages/media/P_AudioDlg.h"
#include "gui/pages/media/P_OSDDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using AudioPageTest = kytest::PageFixture<CP_AudioDlg>;
using OsdPageTest = kytest::PageFixture<CP_OSDDlg>;

TEST_F(AudioPageTest, ShowsTheCameraOrItsDefaults) {
    EmuSetAll("aeformat_1=G726 aeswitch_2=0 volume=55 volin_type=0 ao_volume=66");
    Refresh(*page);
    EXPECT_EQ(page->FormatList()->currentText(), "G726");   // any case
    EXPECT_EQ(page->StreamSwitch(1)->Choice(), 1);
    EXPECT_EQ(page->InputTypeList()->currentText() + page->OutVolumeEdit()->text(), "Line in66");
    EmuSet("aeformat_1", "g711u");   // not in the list: no selection
    Refresh(*page);
    EXPECT_EQ(page->FormatList()->currentIndex(), -1);

    // Nothing answers: streams Off, line in, 80 and 90.
    Fault("no-200");
    Refresh(*page);
    EXPECT_EQ(page->InputTypeList()->currentIndex(), 0);
    EXPECT_EQ(page->InVolumeEdit()->text() + page->OutVolumeEdit()->text(), "8090");
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(AudioPageTest, ApplyWritesBothStreamsInTheListsFormat) {
    EmuSet("aeformat_2", "g711u");
    Refresh(*page);
    page->FormatList()->setCurrentIndex(1);
    page->StreamSwitch(0)->Choose(1);
    page->InputTypeList()->setCurrentIndex(0);
    page->InVolumeEdit()->setText("100");
    page->OutVolumeEdit()->setText("1");
    Sent();
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(Sent(),
              "cmd=setaencattr&-chn=11&-aeswitch=0&-aeformat=g726&cmd=setaencattr&-chn=12&-aeswitch=1&-aeformat=g726"
              "&cmd=setaudioinvolume&-volume=100&-volin_type=0&cmd=setaudiooutvolume&-volume=1");

    // A failed write clears the choices and says so.
    Fault("no-200");
    EXPECT_EQ(ApplyMessage(), "Parameter setting failed!");
    EXPECT_EQ(page->InputTypeList()->currentIndex() + page->StreamSwitch(1)->Choice(), -2);
    // No format chosen goes out as G711.
    Fault("none");
    page->InputTypeList()->setCurrentIndex(1);
    Apply(*page);
    EXPECT_EQ(EmuGet("aeformat_1"), "g711a");
}

// The edits' filter empties a lone 0 and keeps "12" of "12a".
TEST_F(AudioPageTest, RefusesInOrderAndSendsNothing) {
    const char* range = "Volume out of range (1-100), please reset!";
    Refresh(*page);
    Sent();
    for (auto [in, out, type, message] : {std::tuple{"0", "50", 0, range},
                                          {"100", "101", -1, "Please select the line input type!"},
                                          {"12a", "", 1, range}}) {
        page->InVolumeEdit()->setText(in);
        page->InputTypeList()->setCurrentIndex(type);
        page->OutVolumeEdit()->setText(out);
        EXPECT_EQ(ApplyMessage(), message) << in;
    }
    EXPECT_EQ(page->InVolumeEdit()->text(), "12");
    EXPECT_EQ(Sent(), "");
}

TEST_F(OsdPageTest, ShowsBothRegionsAndTheUnescapedName) {
    EmuSetAll("overlay.show_0=0 overlay.place_0=2");
    EmuSet("overlay.name_1", "Gate \"A\" `1` \\ 前门");
    Refresh(*page);
    EXPECT_EQ(page->ShowChoice(0)->Choice(), 1);
    EXPECT_EQ(std::pair(page->PlaceChoice(0)->Choice(), page->PlaceChoice(1)->Choice()), std::pair(2, 3));
    EXPECT_EQ(page->NameEdit()->text(), QString::fromUtf8("Gate \"A\" `1` \\ 前门"));
}

// A CJK character is three bytes; a failed write resets the page without a
// message.
TEST_F(OsdPageTest, ApplyWritesTimeThenNameOfAtMost31Bytes) {
    Refresh(*page);
    page->ShowChoice(0)->Choose(1);
    page->PlaceChoice(0)->Choose(3);
    page->PlaceChoice(1)->Choose(2);
    page->NameEdit()->setText("Front door");
    Sent();
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(Sent(),
              "cmd=setoverlayattr&-region=0&-show=0&-place=3\n"
              "cmd=setoverlayattr&-region=1&-show=1&-place=2&-name=Front+door");
    for (auto [name, sent] : {std::pair{QString(32, 'n'), false}, {QString::fromUtf8("前门前门前门前门前门x"), true}}) {
        page->NameEdit()->setText(name);
        EXPECT_EQ(ApplyMessage(), sent ? "Parameter setting succeeded!" : "OSD length does not exceed 31!");
        EXPECT_EQ(Sent().empty(), !sent) << name.toStdString();
    }
    EXPECT_EQ(EmuGet("overlay.name_1"), "前门前门前门前门前门x");
    Fault("no-200");
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_EQ(page->NameEdit()->text(), "IP Camera");
    EXPECT_EQ(page->ShowChoice(1)->Choice() + page->PlaceChoice(0)->Choice(), -2);
}

}   // namespace
