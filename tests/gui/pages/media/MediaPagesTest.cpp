// The video, image (with its own preview), audio and OSD pages against the
// emulated camera.
#include <cstring>
#include <sstream>
#include <vector>

#include "gui/live/PlayWnd.h"
#include "gui/pages/ChoiceGroup.h"
#include "gui/pages/media/P_AudioDlg.h"
#include "gui/pages/media/P_ImageDlg.h"
#include "gui/pages/media/P_OSDDlg.h"
#include "gui/pages/media/P_VideoDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using namespace kytest;

QStringList Entries(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
}

class VideoPageTest : public PageFixture<CPVideoDlg> {
protected:
    const CPVideoDlg::Stream& S(int s) const { return page->StreamControls(s); }
    // Types "b0=31 k1=151": b bit rate, k key-frame interval, f frame rate,
    // q quality; the digit is the stream.
    void Type(const std::string& edits) {
        std::istringstream in(edits);
        for (std::string e; in >> e;) {
            const auto& s = S(e[1] - '0');
            QWidget* const controls[] = {s.bitRate, s.keyFrame, s.frameRate, s.quality};
            SetState(controls[std::string("bkfq").find(e[0])], QString::fromStdString(e.substr(3)));
        }
    }
    // Format, coding, then per stream resolution count, frame rate, quality and
    // rate control: "00" when all are empty.
    QString Choices() const {
        QString out = page->FormatList()->currentText() + page->CodingList()->currentText();
        for (const auto* s : {&S(0), &S(1)})
            out += QString::number(s->resolution->count()) + s->frameRate->currentText() + s->quality->currentText() +
                   (s->cbr->isChecked() || s->vbr->isChecked() ? "r" : "");
        return out;
    }
};

// Modes 41, 40, 42 and 48 all have a 1920x1080 first stream. Profile mask 5
// is baseline and high; a blank profile text leaves the list as it was. Mode
// 35 is 1280x720 with 704x576 (50 Hz) or 704x480 (60 Hz).
TEST_F(VideoPageTest, ShowsTheCameraValuesInTheCapabilityRecordsLists) {
    Refresh(*page);
    EXPECT_EQ(States({page->FormatList(), page->CodingList(), S(1).resolution, S(0).bitRate, S(0).keyFrame,
                      S(0).frameRate, S(0).quality, S(0).cbr, S(1).vbr, S(1).bitRate}),
              (QStringList{"50HZ", "H264 mainprofile", "640x352", "4096", "50", "25", "1", "on", "on", "1024"}));
    EXPECT_EQ(Entries(page->CodingList()), (QStringList{"H264 baseline", "H264 mainprofile", "H264 highprofile"}));
    EXPECT_EQ(Entries(S(0).resolution), QStringList{"1920x1080"});
    EXPECT_EQ(Entries(S(1).resolution), (QStringList{"640x352", "1920x1080", "320x176", "1280x720"}));

    EmuSetAll("profile=2 vinorm=N");
    SetCapability("5", "40;41;42;");
    Refresh(*page);
    EXPECT_EQ(Entries(page->CodingList()), (QStringList{"H264 baseline", "H264 highprofile"}));
    EXPECT_EQ(States({page->CodingList(), page->FormatList()}), (QStringList{"H264 highprofile", "60HZ"}));
    EXPECT_EQ(Entries(S(1).resolution), (QStringList{"1920x1080", "640x352", "320x176"}));
    SetCapability("   ", "35;");
    for (auto [norm, second] : {std::pair{"N", "704x480"}, {"P", "704x576"}}) {
        EmuSetAll(std::string("videomode=35 vinorm=") + norm);
        Refresh(*page);
        EXPECT_EQ(S(0).resolution->currentText(), "1280x720");
        EXPECT_EQ(Entries(S(1).resolution), QStringList{second});
        EXPECT_EQ(page->CodingList()->count(), 2);
    }
}

// The camera runs mode 41 (1920x1080), which a one-mode list (35) does not
// hold: nothing is selected. Picking the entry rebuilds the second list, reads
// the second stream again, and Apply sends that mode.
TEST_F(VideoPageTest, PickingAFirstResolutionRebuildsTheSecondListAndSendsItsMode) {
    SetCapability("7", "35;");
    Refresh(*page);
    EXPECT_EQ(S(0).resolution->currentIndex(), -1);
    EXPECT_EQ(S(1).resolution->count(), 0);
    Set(S(1).bitRate, "77", S(0).resolution, "#0");
    page->OnFirstResolutionChosen();
    EXPECT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Entries(S(1).resolution), QStringList{"704x576"});
    EXPECT_EQ(S(1).bitRate->text(), "1024");
    EXPECT_EQ(ApplyMessage(), kOk);
    ExpectEmu("videomode=35");
}

TEST_F(VideoPageTest, WithoutCameraDeviceRecordOrAnswerThePageEmpties) {
    for (bool* on : {&camera.loggedIn, &capabilityValid}) {
        Refresh(*page);
        *on = false;
        Refresh(*page);
        EXPECT_EQ(Choices(), "00");
        *on = true;
    }
    // A failed read says so; when every read fails the page empties too.
    for (const auto& [fault, entries] : {std::pair{"no-200=1", 1}, {"no-200=3", 0}}) {
        Fault(fault);
        presenter.Clear();
        Refresh(*page);
        EXPECT_EQ(presenter.texts.join("") + QString::number(S(0).resolution->count()),
                  "Failed to read the video parameters!" + QString::number(entries));
    }
    // Apply without a device record clears silently; an unanswered one keeps
    // the page and says so. The edits keep their text, nothing is sent.
    for (bool stop : {false, true}) {
        capabilityValid = true;
        Refresh(*page);
        capabilityValid = stop;
        if (stop) emulator->Stop();
        S(0).bitRate->setText("1000");
        const QString shown = Choices();
        EXPECT_EQ(ApplyMessage(), "");
        EXPECT_EQ(Choices(), stop ? shown : "00");
        EXPECT_EQ(page->ErrorLine().startsWith("Writing the settings to "), stop);
        EXPECT_EQ(S(0).bitRate->text(), "1000");
        EXPECT_EQ(EmuGet("bps_1"), stop ? "<absent>" : "4096");
    }
}

// The rules' own order is the rules' golden file's; these rows are what the
// page adds: texts that are no number, the second stream's edits, the
// standard read from the camera, the first stream checked before the second.
// Nothing is sent.
TEST_F(VideoPageTest, ValidationRefusesAndSendsNothing) {
    Refresh(*page);
    for (auto [edits, message] : {std::pair{"b0=fast", "Error in code rate parameter!"},
                                  {"k1=151", "Main frame interval parameter error!"},
                                  {"f0=abc", "The input value of main code stream frame rate is illegal!"},
                                  {"f0=025", "The input value of main code stream frame rate is illegal!"},
                                  {"f1=26", "The frame rate cannot be greater than 25!"},
                                  {"q0=9 b1=9999", "The main stream image quality input value is illegal!"}}) {
        Refresh(*page);
        Type(edits);
        EXPECT_EQ(ApplyMessage(), message) << edits;
    }
    // No resolution chosen: no check runs, no message for bad values.
    for (int s : {0, 1}) {
        Refresh(*page);
        S(s).resolution->setCurrentIndex(-1);
        Type(s ? "b0=4000 b1=1" : "b0=1");
        EXPECT_EQ(ApplyMessage(), "") << s;
    }
    ExpectEmu("bps_1=4096 fps_1=25 bps_2=1024");
}

// At 60 Hz up to 30 fps is fine.
TEST_F(VideoPageTest, ApplyWritesModeStandardProfileAndBothStreams) {
    Refresh(*page);
    Set(page->FormatList(), "#1", page->CodingList(), "#2", S(1).resolution, "320x176", S(0).vbr, "on", S(0).quality,
        "#2", S(1).cbr, "on");
    Type("b0=2000 f0=30 k0=40 b1=512 q1=6");
    EXPECT_EQ(ApplyMessage(), kOk);
    ExpectEmu(
        "bps_2=512 brmode_2=0 imagegrade_2=6 videomode=42 vinorm=N profile=2 bps_1=2000 fps_1=30 gop_1=40 "
        "brmode_1=1 imagegrade_1=3");
}

// 1280x720 with 640x352 is no mode of this camera: only the stream settings
// are sent, after a Yes.
TEST_F(VideoPageTest, UnlistedResolutionPairAsksFirst) {
    SetCapability("7", "41;35;");
    Refresh(*page);
    Set(S(0).resolution, "1280x720", S(0).bitRate, "3000");
    presenter.answers = {false, true};
    EXPECT_EQ(ApplyMessage(), "The tool does not support modifying the device resolution. Continue (yes/no)?");
    EXPECT_EQ(EmuGet("bps_1"), "4096");
    Apply(*page);
    EXPECT_EQ(presenter.Last(), kOk);
    ExpectEmu("bps_1=3000 videomode=41");
}

const std::string kImageRead = "cmd=getimageattr&cmd=getircutattr&cmd=getinfrared&cmd=getlampattrex";

class ImagePageTest : public PageFixture<CP_ImageDlg> {
protected:
    void SetUp() override {
        withRtsp = true;
        PageFixture::SetUp();
    }
    // A drag of slider i that ends at value.
    void Release(int i, int value) {
        page->Slider(i)->setSliderDown(true);
        page->Slider(i)->setValue(value);
        page->Slider(i)->setSliderDown(false);
    }
    bool PreviewShowsVideo() {
        return PumpUntil([&] { return page->Preview()->FramesShown() > 0; }) && RtspClients("1");
    }
    bool PreviewEnded() { return !page->PreviewRunning() && RtspClients("0"); }
};

// Capability fields 2..5 are the slider ranges; a garbled one is skipped.
TEST_F(ImagePageTest, ShowsTheRecordWithTheCamerasRanges) {
    EmuSetAll("brightness=40 display_mode=0 flip=on lamp_mode=1 infraredstat=OPEN");
    for (auto [field, range] : {std::pair{2, "0-100"}, {3, "junk"}, {4, "10-90"}, {5, "0-255"}})
        std::strcpy(capability.field[field], range);
    Refresh(*page);
    EXPECT_EQ(States({page->SliderRange(0), page->SliderRange(1), page->SliderValue(0), page->ModeLabel(),
                      page->FlipBox(), page->NightVisionList(), page->IrLedList()}),
              (QStringList{"0-100", "0-255", "40", "Mode:BlackWhiteMode", "on", "Full Color", "On"}));
    EXPECT_EQ(page->Slider(0)->maximum(), 100);
    EXPECT_TRUE(page->IrLedList()->isHidden());
    page->NightVisionList()->activated(0);   // "Normal" shows the IR LED row
    EXPECT_FALSE(page->IrLedLabel()->isHidden());

    Fault("no-200");   // a failed read empties the controls
    Refresh(*page);
    EXPECT_EQ(States({page->NightVisionList(), page->SliderValue(0)}), (QStringList{"", "0"}));
}

TEST_F(ImagePageTest, SliderReleasesWriteTheLatestValueOnce) {
    Refresh(*page);
    Sent();
    Release(0, 77);
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Sent(), "cmd=setimageattr&-brightness=77");

    // Releases during a read wait for it; each slider sends only its last
    // value, and the read does not move it back.
    page->RefreshFromDevice();
    ASSERT_TRUE(page->Busy());
    for (int v : {10, 20, 30}) Release(0, v);
    Release(2, 5);
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Sent(), kImageRead + "\ncmd=setimageattr&-brightness=30\ncmd=setimageattr&-contrast=5");
    EXPECT_EQ(page->SliderValue(0)->text(), "30");

    // Failures have a message each.
    Fault("no-200");
    for (int i = 0; i < CP_ImageDlg::kSliders; ++i) Release(i, 100 + i);
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(presenter.texts, (QStringList{"Failed to set brightness!", "Saturation setting failed!",
                                            "Failed to set contrast!", "Failed to set exposure!"}));
}

// Full colour leaves the infrared out and sends image type 1; Default has
// the camera restore its image and reads it again.
TEST_F(ImagePageTest, ApplyChecksIrCutThenWritesAndReadsBackAndDefaultRestores) {
    Refresh(*page);
    Set(page->IrLedList(), "#1", page->ImageModeList(), "#1", page->MirrorBox(), "on", page->IrCutEdit(), "0");
    Sent();
    EXPECT_EQ(ApplyMessage(), "IRCut value is not within the allowable range [1-1024]");
    page->IrCutEdit()->setText("1024");
    EXPECT_EQ(ApplyMessage(), kOk);
    EXPECT_EQ(Sent(),
              "cmd=setinfrared&-infraredstat=open&cmd=setlampattrex&-lamp_mode=0"
              "&cmd=setircutattr&-saradc_switch_value=1024&cmd=setimageattr&-brightness=50&-saturation=128"
              "&-contrast=50&-targety=128&-flip=off&-mirror=on&-imgmode=1&-image_type=0\n" +
                  kImageRead);
    EXPECT_TRUE(page->MirrorBox()->isChecked());
    page->NightVisionList()->setCurrentIndex(1);
    Apply(*page);
    const std::string sent = Sent();
    EXPECT_EQ(sent.rfind("&cmd=setlampattrex&-lamp_mode=1&", 0), 0u) << sent;
    EXPECT_NE(sent.find("&-image_type=1\n"), std::string::npos) << sent;

    EmuSet("brightness", "3");
    presenter.Clear();
    page->OnDefault();
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Sent(), "cmd=setimageattr&-default=on\n" + kImageRead);
    EXPECT_EQ(page->Slider(0)->value(), 50);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(ImagePageTest, PreviewRunsFromTheReadUntilStoppedLeftOrGone) {
    Refresh(*page);
    ASSERT_TRUE(PreviewShowsVideo());
    page->StopPreview();
    EXPECT_TRUE(PreviewEnded());
    EXPECT_TRUE(page->Preview()->Picture().isNull());

    page->show();
    Refresh(*page);
    ASSERT_TRUE(PreviewShowsVideo());
    page->hide();   // the page is left
    EXPECT_TRUE(PreviewEnded());

    // Stopped before the login's answer is taken: nothing plays.
    auto stop = QObject::connect(page.get(), &CCameraPage::exchangeDone, page.get(), [this] {
        EXPECT_TRUE(page->PreviewRunning());
        page->StopPreview();
    });
    Refresh(*page);
    PumpEvents(800);
    EXPECT_TRUE(PreviewEnded());
    EXPECT_EQ(page->Preview()->FramesShown(), 0);
    QObject::disconnect(stop);

    Refresh(*page);
    ASSERT_TRUE(PreviewShowsVideo());
    page.reset();
    EXPECT_TRUE(RtspClients("0"));
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(ImagePageTest, PreviewThatCannotLogInSaysSo) {
    EmuSet("rtspport", "0");
    Refresh(*page);
    EXPECT_TRUE(PumpUntil([&] { return !presenter.texts.isEmpty(); }));
    EXPECT_EQ(presenter.texts, QStringList{"Failed to connect the device!"});
    EXPECT_FALSE(page->PreviewRunning());
}

using AudioPageTest = PageFixture<CP_AudioDlg>;
using OsdPageTest = PageFixture<CP_OSDDlg>;

// Formats in any case; one not in the list selects nothing. Nothing
// answering shows streams Off, line in, 80 and 90.
TEST_F(AudioPageTest, ShowsTheCameraOrItsDefaults) {
    EmuSetAll("aeformat_1=G726 aeswitch_2=0 volume=55 volin_type=0 ao_volume=66");
    Refresh(*page);
    EXPECT_EQ(States({page->FormatList(), page->StreamSwitch(1), page->InputTypeList(), page->OutVolumeEdit()}),
              (QStringList{"G726", "1", "Line in", "66"}));
    EmuSet("aeformat_1", "g711u");
    Refresh(*page);
    EXPECT_EQ(page->FormatList()->currentIndex(), -1);
    Fault("no-200");
    Refresh(*page);
    EXPECT_EQ(States({page->InputTypeList(), page->InVolumeEdit(), page->OutVolumeEdit()}),
              (QStringList{"Line in", "80", "90"}));
}

// The edits' filter empties a lone 0 and keeps "12" of "12a"; refusals
// send nothing. A failed write clears the choices and says so; no format
// chosen goes out as G711.
TEST_F(AudioPageTest, RefusesOrWritesBothStreamsInTheListsFormat) {
    const char* range = "Volume out of range (1-100), please reset!";
    EmuSet("aeformat_2", "g711u");
    Refresh(*page);
    Sent();
    for (auto [in, out, type, message] : {std::tuple{"0", "50", 0, range},
                                          {"100", "101", -1, "Please select the line input type!"},
                                          {"12a", "", 1, range}}) {
        Set(page->InVolumeEdit(), in, page->InputTypeList(), QString("#%1").arg(type), page->OutVolumeEdit(), out);
        EXPECT_EQ(ApplyMessage(), message) << in;
    }
    EXPECT_EQ(page->InVolumeEdit()->text(), "12");
    Set(page->FormatList(), "#1", page->StreamSwitch(0), "1", page->InputTypeList(), "#0", page->InVolumeEdit(), "100",
        page->OutVolumeEdit(), "1");
    EXPECT_EQ(ApplyMessage(), kOk);
    EXPECT_EQ(Sent(),
              "cmd=setaencattr&-chn=11&-aeswitch=0&-aeformat=g726&cmd=setaencattr&-chn=12&-aeswitch=1&-aeformat=g726"
              "&cmd=setaudioinvolume&-volume=100&-volin_type=0&cmd=setaudiooutvolume&-volume=1");
    Fault("no-200");
    EXPECT_EQ(ApplyMessage(), "Parameter setting failed!");
    EXPECT_EQ(States({page->InputTypeList(), page->StreamSwitch(1)}), (QStringList{"Line in", "0"}));
    EXPECT_TRUE(page->ErrorLine().startsWith("Writing the settings to "));
    Fault("none");
    page->InputTypeList()->setCurrentIndex(1);
    Apply(*page);
    EXPECT_EQ(EmuGet("volin_type"), "1");
}

// The name comes unescaped; time then name go out, the name of at most 31
// bytes (a CJK character is three); a failed write resets the page silently.
TEST_F(OsdPageTest, ShowsAndWritesBothRegions) {
    EmuSetAll("overlay.show_0=0 overlay.place_0=2");
    EmuSet("overlay.name_1", "Gate \"A\" `1` \\ 前门");
    Refresh(*page);
    EXPECT_EQ(States({page->ShowChoice(0), page->PlaceChoice(0), page->PlaceChoice(1), page->NameEdit()}),
              (QStringList{"1", "2", "3", QString::fromUtf8("Gate \"A\" `1` \\ 前门")}));
    Set(page->ShowChoice(0), "1", page->PlaceChoice(0), "3", page->PlaceChoice(1), "2", page->NameEdit(), "Front door");
    Sent();
    EXPECT_EQ(ApplyMessage(), kOk);
    EXPECT_EQ(Sent(),
              "cmd=setoverlayattr&-region=0&-show=0&-place=3\n"
              "cmd=setoverlayattr&-region=1&-show=1&-place=2&-name=Front+door");
    for (auto [name, sent] : {std::pair{QString(32, 'n'), false}, {QString::fromUtf8("前门前门前门前门前门x"), true}}) {
        page->NameEdit()->setText(name);
        EXPECT_EQ(ApplyMessage(), sent ? kOk : "OSD length does not exceed 31!");
        EXPECT_EQ(Sent().empty(), !sent) << name.toStdString();
    }
    EXPECT_EQ(EmuGet("overlay.name_1"), "前门前门前门前门前门x");
    Fault("no-200");
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_EQ(States({page->NameEdit(), page->ShowChoice(1), page->PlaceChoice(0)}),
              (QStringList{QString::fromUtf8("前门前门前门前门前门x"), "0", "3"}));
    EXPECT_TRUE(page->ErrorLine().startsWith("Writing the settings to "));
}

}   // namespace
