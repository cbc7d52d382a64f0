// The motion-detection page with a live preview of the emulated camera:
// drags on the letterboxed picture become the camera's areas, the switches
// and sensitivities reach the camera, the preview ends with the page.
#include <QCheckBox>
#include <QLabel>
#include <QSlider>

#include "gui/live/PlayWnd.h"
#include "gui/pages/alarm/P_MDDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class MotionPageTest : public kytest::PageTest {
protected:
    MotionPageTest() { withRtsp = true; }
    // Shown at a view size, read, and the picture there with the areas drawn.
    std::unique_ptr<CP_MDDlg> Open(QSize view) {
        auto page = std::make_unique<CP_MDDlg>();
        page->View()->setFixedSize(view);
        page->resize(view.width() + 400, view.height() + 100);
        page->show();
        Refresh(*page);
        EXPECT_TRUE(PumpUntil([&] { return page->PictureReady(); })) << "no picture";
        return page;
    }
    bool RtspClients(const char* n) {
        return PumpUntil([&] { return EmuControl("rtsp-clients") == n; });
    }
};

// Bars beside the picture, then above and below it (scales 2 and 4/3): the
// area is moved by its middle, then its lower right corner pulled in; a drag
// past the picture's edge stops there.
TEST_F(MotionPageTest, DragsBecomeTheAreaAtAnyViewSize) {
    for (const QSize view : {QSize(800, 360), QSize(960, 700)}) {
        EmuSetAll("sdk.md.1.x=320 sdk.md.1.y=180 sdk.md.1.w=640 sdk.md.1.h=360");
        auto page = Open(view);
        ASSERT_TRUE(page->PreviewOpen() && page->Window(0)->isChecked());
        EXPECT_EQ(page->SensitivityText(0)->text(), "50");
        CPlayWnd& v = *page->View();
        auto drag = [&](QPoint from, QPoint to) {
            kytest::DragOnPicture(v, v.PictureRect(), {1280, 720}, from, to);
            kytest::PumpEvents(50);
        };
        drag({640, 360}, {420, 230});
        drag({740, 410}, {300, 200});
        const MdArea& a = page->EditedAreas()[0];
        EXPECT_EQ(QRect(a.x, a.y, a.w, a.h), QRect(100, 50, 200, 150)) << view.width();
        EXPECT_EQ(ApplyMessage(*page), "");
        ExpectEmu("sdk.md.1.x=100 sdk.md.1.y=50 sdk.md.1.w=200 sdk.md.1.h=150");
        drag({200, 124}, {1400, 900});
        EXPECT_EQ(QPoint(a.x + a.w, a.y + a.h), QPoint(1280, 720));
    }
}

TEST_F(MotionPageTest, SwitchAndSensitivityAreWrittenAndThePreviewEndsWithThePage) {
    auto page = Open(QSize(640, 360));
    EXPECT_TRUE(RtspClients("1"));
    page->Window(0)->click();
    page->Sensitivity(1)->setValue(77);
    EXPECT_EQ(page->SensitivityText(1)->text(), "77");
    Apply(*page);
    ExpectEmu("sdk.md.1.enable=0 sdk.md.2.sensitivity=77");
    EXPECT_EQ(page->StoredAreas()[1].sensitivity, 77);

    page->StopPreview();
    EXPECT_FALSE(page->PreviewOpen());
    EXPECT_TRUE(RtspClients("0"));
    EXPECT_EQ(ApplyMessage(*page), "No connection!");
    // Without a preview a window box does not stay ticked.
    page->Window(2)->click();
    EXPECT_FALSE(page->Window(2)->isChecked());

    // Showing the page again reads it anew; leaving it ends the preview.
    Refresh(*page);
    ASSERT_TRUE(RtspClients("1"));
    page->hide();
    EXPECT_TRUE(RtspClients("0"));
}

TEST_F(MotionPageTest, FailedLoginAndLoggedOutLeaveThePageEmpty) {
    auto page = Open(QSize(640, 360));
    ASSERT_TRUE(page->Window(0)->isChecked());
    camera.loggedIn = false;
    page->RefreshFromDevice();
    EXPECT_FALSE(page->PreviewOpen() || page->Window(0)->isChecked());
    EXPECT_EQ(page->SensitivityText(0)->text(), "0");
    EXPECT_EQ(page->Sensitivity(0)->value(), 1);

    camera.loggedIn = true;
    std::strcpy(camera.device.password, "wrong");
    Refresh(*page);
    EXPECT_EQ(presenter.texts, QStringList{"Login device failed!"});
    EXPECT_FALSE(page->PreviewOpen());
}

}   // namespace
