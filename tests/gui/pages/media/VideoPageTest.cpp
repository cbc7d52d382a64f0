// The video encoding page against the emulated camera: what it shows, the
// order and texts of its validation, what reaches the camera.
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <sstream>
#include <vector>

#include "gui/pages/media/P_VideoDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

QStringList Entries(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
}

class VideoPageTest : public kytest::PageFixture<CPVideoDlg> {
protected:
    const CPVideoDlg::Stream& S(int s) const { return page->StreamControls(s); }
    void Refreshed() {
        Refresh(*page);
        ASSERT_EQ(S(0).resolution->currentText(), "1920x1080");
    }
    // Types "b0=31 k1=151": b bit rate, k key-frame interval, f frame rate,
    // q quality; the digit is the stream.
    void Type(const std::string& edits) {
        std::istringstream in(edits);
        for (std::string e; in >> e;) {
            const auto& s = S(e[1] - '0');
            const QString v = QString::fromStdString(e.substr(3));
            switch (e[0]) {
                case 'b': s.bitRate->setText(v); break;
                case 'k': s.keyFrame->setText(v); break;
                case 'f': s.frameRate->setEditText(v); break;
                case 'q': s.quality->setEditText(v); break;
            }
        }
    }
    // What the lists hold and show, "00" when all are empty: format, coding,
    // then per stream the resolution count, frame rate, quality and rate control.
    QString Choices() const {
        QString out = page->FormatList()->currentText() + page->CodingList()->currentText();
        for (const auto* s : {&S(0), &S(1)})
            out += QString::number(s->resolution->count()) + s->frameRate->currentText() + s->quality->currentText() +
                   (s->cbr->isChecked() || s->vbr->isChecked() ? "r" : "");
        return out;
    }
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
    EXPECT_EQ(S(0).bitRate->text() + S(0).keyFrame->text() + S(0).quality->currentText(), "4096501");
    EXPECT_EQ(S(0).frameRate->currentIndex(), 24);
    EXPECT_TRUE(S(0).cbr->isChecked() && S(1).vbr->isChecked());
    EXPECT_EQ(S(1).bitRate->text(), "1024");
}

TEST_F(VideoPageTest, ListsFollowTheCapabilityRecord) {
    // Profile mask 5: baseline and high; the camera's profile 2 is selected.
    EmuSetAll("profile=2 vinorm=N");
    SetCapability("5", "40;41;42;");
    Refresh(*page);
    EXPECT_EQ(Entries(page->CodingList()), (QStringList{"H264 baseline", "H264 highprofile"}));
    EXPECT_EQ(page->CodingList()->currentText(), "H264 highprofile");
    EXPECT_EQ(page->FormatList()->currentText(), "60HZ");
    EXPECT_EQ(Entries(S(1).resolution), (QStringList{"1920x1080", "640x352", "320x176"}));

    // A blank profile text leaves the profile list as it was. Mode 35 is
    // 1280x720 with 704x576 (50 Hz) or 704x480 (60 Hz).
    SetCapability("   ", "35;");
    EmuSet("videomode", "35");
    for (auto [norm, second] : {std::pair{"N", "704x480"}, {"P", "704x576"}}) {
        EmuSet("vinorm", norm);
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
    S(1).bitRate->setText("77");
    S(0).resolution->setCurrentIndex(0);
    page->OnFirstResolutionChosen();
    EXPECT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Entries(S(1).resolution), QStringList{"704x576"});
    EXPECT_EQ(S(1).bitRate->text(), "1024");
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    ExpectEmu("videomode=35");
}

TEST_F(VideoPageTest, WithoutCameraDeviceRecordOrAnswerThePageEmpties) {
    // A read logged out or without a device record.
    for (bool* on : {&camera.loggedIn, &capabilityValid}) {
        Refreshed();
        *on = false;
        Refresh(*page);
        EXPECT_EQ(Choices(), "00");
        *on = true;
    }
    // Apply without a device record, or unanswered: cleared silently, the
    // edits keep their text, nothing is sent.
    for (bool stop : {false, true}) {
        capabilityValid = true;
        Refreshed();
        capabilityValid = stop;
        if (stop) emulator->Stop();
        S(0).bitRate->setText("1000");
        EXPECT_EQ(ApplyMessage(), "");
        EXPECT_EQ(Choices(), "00");
        EXPECT_EQ(S(0).bitRate->text(), "1000");
        if (!stop) {
            EXPECT_EQ(EmuGet("bps_1"), "4096");
        }
    }
}

TEST_F(VideoPageTest, ValidationRefusesInOrderAndSendsNothing) {
    Refreshed();
    // Each row: a message, then edits that each bring it. Rows with two
    // edits show which check comes first.
    const std::pair<const char*, std::vector<const char*>> cases[] = {
        {"Error in code rate parameter!", {"b0=31", "b0=6145", "b0=fast", "b0=7000 k0=1"}},
        {"Main frame interval parameter error!", {"k0=1", "k0=151", "k0=151 f0=31", "k1=151"}},
        {"The input value of main code stream frame rate is illegal!", {"f0=31", "f0=abc", "f0=025"}},
        {"he main frame interval cannot be less than the frame rate!", {"k0=20 f0=25"}},
        {"The frame rate cannot be greater than 25!", {"f0=26", "f1=26"}},
        {"The main stream image quality input value is illegal!", {"q0=7", "q0=9 b1=9999"}},
        {"Error in code rate parameter [32~2048] of secondary stream", {"b1=2049"}},
        {"Illegal input value of secondary code stream frame rate!", {"f1=0"}},
        {"Illegal secondary stream image quality input value!", {"q1=0"}},
    };
    for (const auto& [message, edits] : cases)
        for (const char* e : edits) {
            Refresh(*page);
            Type(e);
            EXPECT_EQ(ApplyMessage(), QString::fromUtf8(message)) << e;
        }
    ExpectEmu("bps_1=4096 fps_1=25 bps_2=1024");
}

// The limits are accepted; at 60 Hz up to 30 fps is fine.
TEST_F(VideoPageTest, BoundaryValuesAreAccepted) {
    for (auto [norm, edits, sent] : {std::tuple{0, "b0=6144 b1=2048 k0=25 f0=25", "bps_2=2048 bps_1=6144"},
                                     {1, "f0=30 k0=30 b1=32", "bps_2=32 fps_1=30 vinorm=N"}}) {
        Refreshed();
        page->FormatList()->setCurrentIndex(norm);
        Type(edits);
        EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
        ExpectEmu(sent);
    }
}

TEST_F(VideoPageTest, ApplyWritesModeStandardProfileAndBothStreams) {
    Refreshed();
    page->FormatList()->setCurrentIndex(1);
    page->CodingList()->setCurrentIndex(2);
    S(1).resolution->setCurrentIndex(S(1).resolution->findText("320x176"));
    Type("b0=2000 f0=20 k0=40 b1=512 q1=6");
    S(0).vbr->setChecked(true);
    S(0).quality->setCurrentIndex(2);
    S(1).cbr->setChecked(true);
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    ExpectEmu(
        "bps_2=512 brmode_2=0 imagegrade_2=6 videomode=42 vinorm=N profile=2 bps_1=2000 fps_1=20 gop_1=40 "
        "brmode_1=1 imagegrade_1=3");
}

// 1280x720 with 640x352 is no mode of this camera: only the stream settings
// are sent, after a Yes.
TEST_F(VideoPageTest, UnlistedResolutionPairAsksFirst) {
    SetCapability("7", "41;35;");
    Refresh(*page);
    S(0).resolution->setCurrentIndex(S(0).resolution->findText("1280x720"));
    S(0).bitRate->setText("3000");
    presenter.answers = {false, true};
    EXPECT_EQ(ApplyMessage(), "The tool does not support modifying the device resolution. Continue (yes/no)?");
    EXPECT_EQ(EmuGet("bps_1"), "4096");
    Apply(*page);
    EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
    ExpectEmu("bps_1=3000 videomode=41");
}

// No check runs (no message for bad values) and nothing is sent.
TEST_F(VideoPageTest, NoResolutionChosenDoesNothing) {
    for (int s : {0, 1}) {
        Refresh(*page);
        S(s).resolution->setCurrentIndex(-1);
        Type(s ? "b0=4000 b1=1" : "b0=1");
        EXPECT_EQ(ApplyMessage(), "") << s;
    }
    EXPECT_EQ(EmuGet("bps_1"), "4096");
}

}   // namespace
