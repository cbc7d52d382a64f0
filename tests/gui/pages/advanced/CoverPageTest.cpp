// The video shade page with a live preview: what it reads, how a ticked
// region becomes editable, what reaches the camera, and the preview's end.
#include <QCheckBox>

#include "gui/live/PlayWnd.h"
#include "gui/pages/advanced/P_CoverVideoDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class CoverPageTest : public kytest::PageTest {
protected:
    CoverPageTest() { withRtsp = true; }
    static constexpr const char* kFields[] = {"show", "color", "x", "y", "w", "h"};
    static std::string Key(const char* field, int n) { return "cover." + std::string(field) + "_" + std::to_string(n); }
    std::string Region(int n) {
        std::string out;
        for (const char* f : kFields) out += (out.empty() ? "" : ",") + EmuGet(Key(f, n));
        return out;
    }
    void SetRegion(int n, const std::string& show, const std::string& color) {
        const std::string values[] = {show, color, "320", "180", "640", "360"};
        for (int i = 0; i < 6; ++i) EmuSet(Key(kFields[i], n), values[i]);
    }
};

// Region 2 is hidden: a drag over it changes nothing until ticked; region 3
// ticked off is not grabbed either.
TEST_F(CoverPageTest, TickedRegionIsDraggedAndWrittenBlack) {
    SetRegion(2, "0", "ff0000");
    SetRegion(3, "1", "00ff00");
    CP_CoverVideoDlg page;
    page.View()->setFixedSize(800, 360);
    page.resize(1100, 460);
    page.show();
    Refresh(page);
    ASSERT_TRUE(PumpUntil([&] { return page.PictureReady(); }));
    EXPECT_FALSE(page.Window(1)->isChecked());
    EXPECT_TRUE(page.Window(2)->isChecked());
    CPlayWnd& v = *page.View();
    auto drag = [&](QPoint from, QPoint to) { kytest::DragOnPicture(v, v.PictureRect(), {1280, 720}, from, to); };
    page.Window(2)->click();
    drag({640, 360}, {420, 230});
    kytest::PumpEvents(50);
    EXPECT_EQ(page.Regions().x[1], 320);
    page.Window(1)->click();
    drag({640, 360}, {420, 230});
    drag({740, 410}, {300, 200});
    kytest::PumpEvents(50);
    EXPECT_EQ(ApplyMessage(page), "Parameter setting succeeded!");
    EXPECT_EQ(Region(2), "1,000000,100,50,200,150");
    EXPECT_EQ(Region(3), "0,000000,320,180,640,360");
}

TEST_F(CoverPageTest, NoRecordOrNoLoginClearsAndEndsThePreview) {
    SetRegion(1, "1", "000000");
    CP_CoverVideoDlg page;
    Refresh(page);
    ASSERT_TRUE(page.Window(0)->isChecked() && page.PreviewOpen());
    capabilityValid = false;
    Refresh(page);
    EXPECT_FALSE(page.Window(0)->isChecked() || page.PreviewOpen());
    capabilityValid = true;
    camera.loggedIn = false;
    page.Window(0)->setChecked(true);
    Refresh(page);
    EXPECT_FALSE(page.Window(0)->isChecked());
    EXPECT_TRUE(PumpUntil([&] { return EmuControl("rtsp-clients") == "0"; }));
}

}   // namespace
