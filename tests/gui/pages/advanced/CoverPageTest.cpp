// The video shade page with a live preview of the emulated camera: what it
// reads, how a ticked region becomes editable, what reaches the camera.
#include <QCheckBox>

#include "gui/live/PlayWnd.h"
#include "gui/pages/advanced/P_CoverVideoDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class CoverPageTest : public kytest::PageTest {
protected:
    CoverPageTest() { withRtsp = true; }
    std::string Region(int n) {
        std::string out;
        for (const char* f : {"show", "color", "x", "y", "w", "h"})
            out += (out.empty() ? "" : ",") + EmuGet("cover." + std::string(f) + "_" + std::to_string(n));
        return out;
    }
    void SetRegion(int n, const std::string& show, const std::string& color) {
        const std::string values[] = {show, color, "320", "180", "640", "360"};
        int i = 0;
        for (const char* f : {"show", "color", "x", "y", "w", "h"})
            EmuSet("cover." + std::string(f) + "_" + std::to_string(n), values[i++]);
    }
};

TEST_F(CoverPageTest, TickedRegionIsDraggedAndWrittenBlack) {
    for (const QSize view : {QSize(800, 360), QSize(960, 700)}) {
        SetRegion(2, "0", "ff0000");
        SetRegion(3, "1", "00ff00");
        CP_CoverVideoDlg page;
        page.View()->setFixedSize(view);
        page.resize(view.width() + 300, view.height() + 100);
        page.show();
        Refresh(page);
        ASSERT_TRUE(PumpUntil([&] { return page.PictureReady(); }));
        EXPECT_FALSE(page.Window(1)->isChecked());
        EXPECT_TRUE(page.Window(2)->isChecked());

        // Region 2 is hidden: a drag over it changes nothing until ticked.
        CPlayWnd& v = *page.View();
        const QRect area = v.PictureRect();
        const QSize picture(1280, 720);
        page.Window(2)->click();   // region 3 off: not grabbed either
        kytest::DragOnPicture(v, area, picture, {640, 360}, {420, 230});
        kytest::PumpEvents(50);
        EXPECT_EQ(page.Regions().x[1], 320);
        page.Window(1)->click();
        kytest::DragOnPicture(v, area, picture, {640, 360}, {420, 230});
        kytest::DragOnPicture(v, area, picture, {740, 410}, {300, 200});
        kytest::PumpEvents(50);

        presenter.Clear();
        Apply(page);
        EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
        EXPECT_EQ(Region(2), "1,000000,100,50,200,150") << view.width();
        EXPECT_EQ(Region(3), "0,000000,320,180,640,360");
    }
}

TEST_F(CoverPageTest, FailuresClearTheBoxes) {
    SetRegion(1, "1", "000000");
    CP_CoverVideoDlg page;
    Refresh(page);
    ASSERT_TRUE(page.Window(0)->isChecked());
    EXPECT_TRUE(page.PreviewOpen());

    Fault("no-200");
    Apply(page);
    EXPECT_FALSE(page.Window(0)->isChecked());
    Fault("none");
    Refresh(page);
    ASSERT_TRUE(page.Window(0)->isChecked());

    // No valid device record, then no login: cleared, and no preview.
    capabilityValid = false;
    Refresh(page);
    EXPECT_FALSE(page.Window(0)->isChecked());
    EXPECT_FALSE(page.PreviewOpen());
    capabilityValid = true;
    camera.loggedIn = false;
    page.Window(0)->setChecked(true);
    Refresh(page);
    EXPECT_FALSE(page.Window(0)->isChecked());
    EXPECT_TRUE(PumpUntil([&] { return EmuControl("rtsp-clients") == "0"; }));
}

}   // namespace
