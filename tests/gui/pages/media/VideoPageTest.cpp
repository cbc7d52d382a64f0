// The video encoding page against the emulated camera: what it shows, the
// order and texts of its validation, what reaches the camera.
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "gui/pages/media/P_VideoDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

QStringList Entries(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
}

class VideoPageTest : public kytest::PageTest {
protected:
    const CPVideoDlg::Stream& S(int s) const { return page->StreamControls(s); }
    void SetUp() override {
        kytest::PageTest::SetUp();
        page = std::make_unique<CPVideoDlg>();
    }
    void TearDown() override {
        page.reset();
        kytest::PageTest::TearDown();
    }
    // Refreshes, then sets a valid apply-able state: 60 Hz, 30 fps allowed.
    void Refreshed() {
        Refresh(*page);
        ASSERT_EQ(S(0).resolution->currentText(), "1920x1080");
    }
    // Applies and returns the one message shown ("" for none).
    QString ApplyMessage() {
        presenter.Clear();
        Apply(*page);
        EXPECT_LE(presenter.texts.size(), 1);
        return presenter.Last();
    }
    std::unique_ptr<CPVideoDlg> page;
};

TEST_F(VideoPageTest, ShowsTheCameraValues) {
    Refresh(*page);
    EXPECT_EQ(page->FormatList()->currentText(), "50HZ");
    EXPECT_EQ(Entries(page->CodingList()), (QStringList{"H264 baseline", "H264 mainprofile", "H264 highprofile"}));
    EXPECT_EQ(page->CodingList()->currentText(), "H264 mainprofile");
    // Modes 41, 40, 42 and 48 all have a 1920x1080 first stream.
    EXPECT_EQ(Entries(S(0).resolution), QStringList{"1920x1080"});
    EXPECT_EQ(Entries(S(1).resolution), (QStringList{"640x352", "1920x1080", "320x176", "1280x720"}));
    EXPECT_EQ(S(1).resolution->currentText(), "640x352");

    EXPECT_EQ(S(0).bitRate->text(), "4096");
    EXPECT_EQ(S(0).frameRate->currentIndex(), 24);
    EXPECT_EQ(S(0).keyFrame->text(), "50");
    EXPECT_TRUE(S(0).cbr->isChecked());
    EXPECT_FALSE(S(0).vbr->isChecked());
    EXPECT_EQ(S(0).quality->currentText(), "1");
    EXPECT_EQ(S(1).bitRate->text(), "1024");
    EXPECT_TRUE(S(1).vbr->isChecked());
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(VideoPageTest, ListsFollowTheCapabilityRecord) {
    // Profile mask 5: baseline and high; the camera's profile 2 is selected.
    EmuSet("profile", "2");
    SetCapability("5", "40;41;42;");
    EmuSet("vinorm", "N");
    Refresh(*page);
    EXPECT_EQ(Entries(page->CodingList()), (QStringList{"H264 baseline", "H264 highprofile"}));
    EXPECT_EQ(page->CodingList()->currentText(), "H264 highprofile");
    EXPECT_EQ(page->FormatList()->currentText(), "60HZ");
    EXPECT_EQ(Entries(S(0).resolution), QStringList{"1920x1080"});
    EXPECT_EQ(Entries(S(1).resolution), (QStringList{"1920x1080", "640x352", "320x176"}));

    // A blank profile text leaves the profile list as it was. Mode 35 is
    // 1280x720 with 704x576 (50 Hz) or 704x480 (60 Hz).
    SetCapability("   ", "35;");
    EmuSet("videomode", "35");
    Refresh(*page);
    EXPECT_EQ(S(0).resolution->currentText(), "1280x720");
    EXPECT_EQ(page->CodingList()->count(), 2);
    EXPECT_EQ(Entries(S(1).resolution), QStringList{"704x480"});
    EmuSet("vinorm", "P");
    Refresh(*page);
    EXPECT_EQ(Entries(S(1).resolution), QStringList{"704x576"});
}

TEST_F(VideoPageTest, PickingAFirstResolutionRebuildsTheSecondList) {
    SetCapability("7", "41;35;");
    Refresh(*page);
    EXPECT_EQ(Entries(S(0).resolution), (QStringList{"1920x1080", "1280x720"}));
    S(1).bitRate->setText("77");
    S(0).resolution->setCurrentIndex(1);
    page->OnFirstResolutionChosen();
    EXPECT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Entries(S(1).resolution), QStringList{"704x576"});
    // The second stream was read again from the camera.
    EXPECT_EQ(S(1).bitRate->text(), "1024");
    EXPECT_EQ(S(1).resolution->currentText(), "704x576");
}

TEST_F(VideoPageTest, WithoutCameraOrDeviceRecordThePageEmpties) {
    Refreshed();
    camera.loggedIn = false;
    Refresh(*page);
    EXPECT_EQ(page->FormatList()->currentIndex(), -1);
    EXPECT_EQ(page->CodingList()->currentIndex(), -1);
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(S(s).resolution->count(), 0);
        EXPECT_EQ(S(s).frameRate->currentIndex(), -1);
        EXPECT_EQ(S(s).quality->currentIndex(), -1);
        EXPECT_FALSE(S(s).cbr->isChecked());
        EXPECT_FALSE(S(s).vbr->isChecked());
    }
    // The edits keep their text.
    EXPECT_EQ(S(0).bitRate->text(), "4096");

    camera.loggedIn = true;
    Refreshed();
    capabilityValid = false;
    Refresh(*page);
    EXPECT_EQ(S(0).resolution->count(), 0);
    // Apply without a valid device record clears and sends nothing.
    capabilityValid = true;
    Refreshed();
    capabilityValid = false;
    S(0).bitRate->setText("1000");
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_EQ(S(0).resolution->count(), 0);
    EXPECT_EQ(EmuGet("bps_1"), "4096");
}

TEST_F(VideoPageTest, ValidationRefusesInOrderAndSendsNothing) {
    Refreshed();
    struct Case {
        const char* what;
        std::function<void()> change;
        const char* message;
    };
    const Case cases[] = {
        {"first bit rate low", [&] { S(0).bitRate->setText("31"); }, "Error in code rate parameter!"},
        {"first bit rate high", [&] { S(0).bitRate->setText("6145"); }, "Error in code rate parameter!"},
        {"first bit rate word", [&] { S(0).bitRate->setText("fast"); }, "Error in code rate parameter!"},
        {"bit rate before interval",
         [&] {
             S(0).bitRate->setText("7000");
             S(0).keyFrame->setText("1");
         },
         "Error in code rate parameter!"},
        {"interval low", [&] { S(0).keyFrame->setText("1"); }, "Main frame interval parameter error!"},
        {"interval high", [&] { S(0).keyFrame->setText("151"); }, "Main frame interval parameter error!"},
        {"interval before frame rate",
         [&] {
             S(0).keyFrame->setText("151");
             S(0).frameRate->setEditText("31");
         },
         "Main frame interval parameter error!"},
        {"frame rate 31", [&] { S(0).frameRate->setEditText("31"); },
         "The input value of main code stream frame rate is illegal!"},
        {"frame rate word", [&] { S(0).frameRate->setEditText("abc"); },
         "The input value of main code stream frame rate is illegal!"},
        {"frame rate with zero", [&] { S(0).frameRate->setEditText("025"); },
         "The input value of main code stream frame rate is illegal!"},
        {"interval below frame rate",
         [&] {
             S(0).keyFrame->setText("20");
             S(0).frameRate->setEditText("25");
         },
         "he main frame interval cannot be less than the frame rate!"},
        {"26 fps at 50 Hz", [&] { S(0).frameRate->setEditText("26"); }, "The frame rate cannot be greater than 25!"},
        {"quality 7", [&] { S(0).quality->setEditText("7"); }, "The main stream image quality input value is illegal!"},
        {"second bit rate high", [&] { S(1).bitRate->setText("2049"); },
         "Error in code rate parameter [32~2048] of secondary stream"},
        {"second interval", [&] { S(1).keyFrame->setText("151"); }, "Main frame interval parameter error!"},
        {"second frame rate", [&] { S(1).frameRate->setEditText("0"); },
         "Illegal input value of secondary code stream frame rate!"},
        {"second 26 fps at 50 Hz", [&] { S(1).frameRate->setEditText("26"); },
         "The frame rate cannot be greater than 25!"},
        {"second quality", [&] { S(1).quality->setEditText("0"); },
         "Illegal secondary stream image quality input value!"},
        {"first stream before second",
         [&] {
             S(0).quality->setEditText("9");
             S(1).bitRate->setText("9999");
         },
         "The main stream image quality input value is illegal!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Refresh(*page);
        c.change();
        EXPECT_EQ(ApplyMessage(), QString::fromUtf8(c.message));
    }
    // Nothing of it reached the camera.
    EXPECT_EQ(EmuGet("bps_1"), "4096");
    EXPECT_EQ(EmuGet("fps_1"), "25");
    EXPECT_EQ(EmuGet("bps_2"), "1024");
}

TEST_F(VideoPageTest, BoundaryValuesAreAccepted) {
    Refreshed();
    S(0).bitRate->setText("6144");
    S(1).bitRate->setText("2048");
    S(0).keyFrame->setText("25");
    S(0).frameRate->setEditText("25");
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(EmuAwait("bps_2", "2048"), "2048");
    EXPECT_EQ(EmuGet("bps_1"), "6144");

    // At 60 Hz up to 30 fps is fine.
    Refresh(*page);
    page->FormatList()->setCurrentIndex(1);
    S(0).frameRate->setEditText("30");
    S(0).keyFrame->setText("30");
    S(1).bitRate->setText("32");
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(EmuAwait("bps_2", "32"), "32");
    EXPECT_EQ(EmuGet("fps_1"), "30");
    EXPECT_EQ(EmuGet("vinorm"), "N");
}

TEST_F(VideoPageTest, ApplyWritesModeStandardProfileAndBothStreams) {
    Refreshed();
    page->FormatList()->setCurrentIndex(1);
    page->CodingList()->setCurrentIndex(2);
    S(1).resolution->setCurrentIndex(S(1).resolution->findText("320x176"));
    S(0).bitRate->setText("2000");
    S(0).frameRate->setEditText("20");
    S(0).keyFrame->setText("40");
    S(0).vbr->setChecked(true);
    S(0).quality->setCurrentIndex(2);
    S(1).bitRate->setText("512");
    S(1).cbr->setChecked(true);
    S(1).quality->setEditText("6");
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");

    EXPECT_EQ(EmuAwait("bps_2", "512"), "512");
    EXPECT_EQ(EmuGet("brmode_2"), "0");
    EXPECT_EQ(EmuGet("imagegrade_2"), "6");
    EXPECT_EQ(EmuGet("videomode"), "42");
    EXPECT_EQ(EmuGet("vinorm"), "N");
    EXPECT_EQ(EmuGet("profile"), "2");
    EXPECT_EQ(EmuGet("bps_1"), "2000");
    EXPECT_EQ(EmuGet("fps_1"), "20");
    EXPECT_EQ(EmuGet("gop_1"), "40");
    EXPECT_EQ(EmuGet("brmode_1"), "1");
    EXPECT_EQ(EmuGet("imagegrade_1"), "3");

    // Read back, the page shows what was written.
    Refresh(*page);
    EXPECT_EQ(S(1).resolution->currentText(), "320x176");
    EXPECT_EQ(S(0).frameRate->currentText(), "20");
    EXPECT_TRUE(S(0).vbr->isChecked());
}

TEST_F(VideoPageTest, UnlistedResolutionPairAsksFirst) {
    SetCapability("7", "41;35;");
    Refresh(*page);
    // 1280x720 with 640x352 is no mode of this camera.
    S(0).resolution->setCurrentIndex(S(0).resolution->findText("1280x720"));
    S(0).bitRate->setText("3000");
    presenter.answers = {false};
    EXPECT_EQ(ApplyMessage(), "The tool does not support modifying the device resolution. Continue (yes/no)?");
    EXPECT_EQ(EmuGet("bps_1"), "4096");

    presenter.answers = {true};
    Apply(*page);
    EXPECT_EQ(presenter.texts.back(), "Parameter setting succeeded!");
    // Only the stream settings were sent.
    EXPECT_EQ(EmuAwait("bps_1", "3000"), "3000");
    EXPECT_EQ(EmuGet("videomode"), "41");
}

TEST_F(VideoPageTest, SingleModeIsSentWhateverWasChosen) {
    SetCapability("7", "35;");
    Refresh(*page);
    // The camera runs mode 41 (1920x1080), which this list does not hold:
    // nothing is selected and the second list has no entry for it.
    EXPECT_EQ(S(0).resolution->currentIndex(), -1);
    EXPECT_EQ(S(1).resolution->count(), 0);
    S(0).resolution->setCurrentIndex(0);
    page->OnFirstResolutionChosen();
    EXPECT_TRUE(WaitIdle(*page));
    EXPECT_EQ(S(1).resolution->currentText(), "704x576");
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(EmuAwait("videomode", "35"), "35");
}

TEST_F(VideoPageTest, NoResolutionChosenDoesNothing) {
    Refreshed();
    S(0).resolution->setCurrentIndex(-1);
    S(0).bitRate->setText("1");
    EXPECT_EQ(ApplyMessage(), "");
    S(0).resolution->setCurrentIndex(0);
    S(0).bitRate->setText("4000");
    S(1).resolution->setCurrentIndex(-1);
    S(1).bitRate->setText("1");
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_EQ(EmuGet("bps_1"), "4096");
}

TEST_F(VideoPageTest, FailedWriteClearsWithoutMessage) {
    Refreshed();
    emulator->Stop();
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_EQ(S(0).resolution->count(), 0);
    EXPECT_EQ(page->FormatList()->currentIndex(), -1);
}

}   // namespace
