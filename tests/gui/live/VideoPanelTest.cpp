// The video panel and its windows without a camera: layout geometry, the
// active frame, mouse routing, titles and marks, the render surface's
// hand-over from the SDK thread, and detection boxes as draw items.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <thread>
#include <vector>

#include "gui/live/PlayWnd.h"
#include "gui/live/ScreenPannel.h"
#include "gui/live/VideoDlg.h"
#include "gui/live/VideoEvents.h"
#include "gui/live/VideoWnd.h"

namespace {

constexpr int kWaitMs = 5000;

// Collects the messages the panel hands on.
class Recorder : public QObject {
public:
    struct Seen {
        int type;
        int window;
    };
    std::vector<Seen> seen;
    bool Has(int type) const {
        for (const auto& s : seen)
            if (s.type == type) return true;
        return false;
    }

protected:
    bool event(QEvent* e) override {
        const int type = static_cast<int>(e->type());
        if (type < QEvent::User) return QObject::event(e);
        auto* mouse = dynamic_cast<ky::video::CVideoMouseEvent*>(e);
        seen.push_back({type, mouse ? mouse->window : -1});
        return true;
    }
};

// ---- layout geometry --------------------------------------------------------------

TEST(VideoPanelLayout, GridWindowsFollowColumnsRowsAndStretchTheLastCell) {
    const QSize size(803, 605);
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        const int cw = (size.width() - 2) / n, ch = (size.height() - 2) / n;
        ASSERT_EQ(CScreenPannel::WindowCount(n), n * n);
        for (int i = 0; i < n * n; ++i) {
            const int col = i % n, row = i / n;
            const QRect r = CScreenPannel::WindowRect(n, i, size);
            EXPECT_EQ(r.left(), col * cw + 2);
            EXPECT_EQ(r.top(), row * ch + 2);
            const int right = col == n - 1 ? size.width() - 2 : (col + 1) * cw;
            const int bottom = row == n - 1 ? size.height() - 2 : (row + 1) * ch;
            EXPECT_EQ(r.left() + r.width(), right) << i;
            EXPECT_EQ(r.top() + r.height(), bottom) << i;
        }
        EXPECT_TRUE(CScreenPannel::WindowRect(n, n * n, size).isNull());
    }
    // All 36 windows of the 6 x 6 layout, none overlapping another.
    for (int i = 0; i < 36; ++i)
        for (int j = i + 1; j < 36; ++j)
            EXPECT_FALSE(CScreenPannel::WindowRect(6, i, size).intersects(CScreenPannel::WindowRect(6, j, size)));
}

TEST(VideoPanelLayout, OneLargeWindowWithFiveOrSevenSmallOnes) {
    const QSize size(602, 602);
    for (int layout : {16, 18}) {
        SCOPED_TRACE(layout);
        const int count = CScreenPannel::WindowCount(layout), m = layout == 16 ? 3 : 4;
        EXPECT_EQ(count, m * m - (m - 1) * (m - 1) + 1);
        const QRect big = CScreenPannel::WindowRect(layout, 0, size);
        const QRect small = CScreenPannel::WindowRect(layout, 1, size);
        EXPECT_EQ(big.topLeft(), QPoint(2, 2));
        EXPECT_GT(big.width(), 2 * small.width());
        QRegion covered;
        for (int i = 0; i < count; ++i) {
            const QRect r = CScreenPannel::WindowRect(layout, i, size);
            EXPECT_FALSE(covered.intersects(r)) << i;
            EXPECT_TRUE(QRect(2, 2, 598, 598).contains(r)) << i;
            covered += r;
        }
        // The last small window reaches the bottom-right corner.
        EXPECT_EQ(CScreenPannel::WindowRect(layout, count - 1, size).bottomRight(), QPoint(599, 599));
        EXPECT_TRUE(CScreenPannel::WindowRect(layout, count, size).isNull());
    }
    EXPECT_EQ(CScreenPannel::WindowCount(7), 0);
}

// ---- the panel widget -----------------------------------------------------------------

class VideoPanel : public ::testing::Test {
protected:
    void SetUp() override {
        panel.SetNotifyTarget(&target);
        panel.resize(402, 302);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }
    QPoint Center(int window) const { return panel.Window(window)->PlayWnd()->rect().center(); }
    // Surface -> video window -> panel -> dialog: one posted hop each.
    void Settle() {
        for (int hop = 0; hop < 3; ++hop) QCoreApplication::sendPostedEvents();
    }

    Recorder target;
    CScreenPannel panel;
};

TEST_F(VideoPanel, LayoutShowsItsWindowsOnlyAndRefusesUnknownKinds) {
    ASSERT_TRUE(panel.SetLayoutKind(2));
    for (int i = 0; i < CScreenPannel::kWindows; ++i) {
        EXPECT_EQ(panel.Window(i)->isVisible(), i < 4) << i;
        if (i < 4) {
            EXPECT_EQ(panel.Window(i)->geometry(), CScreenPannel::WindowRect(2, i, panel.size()));
        }
    }
    EXPECT_FALSE(panel.SetLayoutKind(7));
    EXPECT_EQ(panel.LayoutKind(), 2);
    ASSERT_TRUE(panel.SetLayoutKind(6));
    EXPECT_TRUE(panel.Window(35)->isVisible());
}

TEST_F(VideoPanel, ActiveWindowHasAMagentaFrameAndTheOldOneTurnsBackground) {
    ASSERT_TRUE(panel.SetLayoutKind(2));
    const QRect first = panel.Window(0)->geometry(), second = panel.Window(1)->geometry();
    QImage shot = panel.grab().toImage();
    EXPECT_EQ(shot.pixelColor(first.left() - 1, first.center().y()), CScreenPannel::kActiveFrame);
    EXPECT_EQ(shot.pixelColor(first.right() + 1, first.center().y()), CScreenPannel::kActiveFrame);
    EXPECT_EQ(shot.pixelColor(second.left() - 1, second.center().y()), CScreenPannel::kBackground);

    panel.SetActiveWindow(1);
    shot = panel.grab().toImage();
    EXPECT_EQ(shot.pixelColor(first.left() - 1, first.center().y()), CScreenPannel::kBackground);
    EXPECT_EQ(shot.pixelColor(second.left() - 1, second.center().y()), CScreenPannel::kActiveFrame);
    EXPECT_EQ(shot.pixelColor(second.center().x(), second.bottom() + 1), CScreenPannel::kActiveFrame);
}

TEST_F(VideoPanel, MouseActionsTravelFromSurfaceToPanelToTheDialog) {
    ASSERT_TRUE(panel.SetLayoutKind(2));
    // Left button: the window becomes active; only the button-up goes on.
    QTest::mouseClick(panel.Window(3)->PlayWnd(), Qt::LeftButton, {}, Center(3));
    Settle();
    EXPECT_EQ(panel.ActiveWindow(), 3);
    EXPECT_FALSE(target.Has(ky::video::kLeftDown));
    EXPECT_TRUE(target.Has(ky::video::kLeftUp));

    // Right button: active, and the dialog is asked for its menu.
    target.seen.clear();
    QTest::mousePress(panel.Window(2)->PlayWnd(), Qt::RightButton, {}, Center(2));
    Settle();
    EXPECT_EQ(panel.ActiveWindow(), 2);
    ASSERT_TRUE(target.Has(ky::video::kContextMenu));
    EXPECT_EQ(target.seen.back().window, 2);

    // Moves pass through.
    QTest::mouseMove(panel.Window(2)->PlayWnd(), Center(2) + QPoint(3, 3));
    Settle();
    EXPECT_TRUE(target.Has(ky::video::kMouseMove));

    // Double click: the window is enlarged over the panel, and back.
    target.seen.clear();
    QTest::mouseDClick(panel.Window(1)->PlayWnd(), Qt::LeftButton, {}, Center(1));
    Settle();
    EXPECT_TRUE(target.Has(ky::video::kDoubleClick));
    EXPECT_TRUE(panel.Enlarged());
    EXPECT_EQ(panel.Window(1)->geometry(), CScreenPannel::WindowRect(1, 0, panel.size()));
    EXPECT_FALSE(panel.Window(0)->isVisible());
    QTest::mouseDClick(panel.Window(1)->PlayWnd(), Qt::LeftButton, {}, Center(1));
    Settle();
    EXPECT_FALSE(panel.Enlarged());
    EXPECT_EQ(panel.Window(1)->geometry(), CScreenPannel::WindowRect(2, 1, panel.size()));
    EXPECT_TRUE(panel.Window(0)->isVisible());
}

TEST(VideoPanelKeys, EscapeAsksTheDialogOnlyWhileThePanelCoversTheScreen) {
    QWidget host;
    Recorder target;
    auto* panel = new CScreenPannel(&host);
    panel->SetNotifyTarget(&target);
    QTest::keyClick(panel, Qt::Key_Escape);
    QTest::keyClick(panel, Qt::Key_Return);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(target.seen.empty());

    panel->setParent(nullptr, Qt::Window);   // as in full screen
    QTest::keyClick(panel, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(target.seen.size(), 1u);
    EXPECT_EQ(target.seen[0].type, ky::video::kFullScreenEscape);
    delete panel;
}

// ---- video window title and marks --------------------------------------------------

int CountColor(const QImage& img, const QRect& area, auto pred) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (pred(img.pixelColor(x, y))) ++n;
    return n;
}

TEST(VideoWindow, TitleIsGreenMarksAreDrawnAndUnchangedStateDoesNotRepaint) {
    CVideoWnd wnd(0);
    wnd.resize(320, 200);
    wnd.SetTitle("192.168.1.10");
    const int updates = wnd.TitleUpdates();
    wnd.SetTitle("192.168.1.10");
    wnd.SetMarks(false, false, false);
    EXPECT_EQ(wnd.TitleUpdates(), updates);

    const QRect strip(0, 0, 320, CVideoWnd::kTitleHeight);
    auto green = [](QColor c) { return c.green() > 200 && c.red() < 60 && c.blue() < 60; };
    auto red = [](QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; };
    auto yellow = [](QColor c) { return c.red() > 200 && c.green() > 150 && c.blue() < 60; };
    auto cyan = [](QColor c) { return c.blue() > 200 && c.green() > 150 && c.red() < 60; };
    QImage shot = wnd.grab().toImage();
    EXPECT_GT(CountColor(shot, strip, green), 20);
    EXPECT_EQ(CountColor(shot, strip, red), 0);

    wnd.SetMarks(true, true, true);
    EXPECT_EQ(wnd.TitleUpdates(), updates + 1);
    shot = wnd.grab().toImage();
    EXPECT_GT(CountColor(shot, strip, red), 10);
    EXPECT_GT(CountColor(shot, strip, yellow), 10);
    EXPECT_GT(CountColor(shot, strip, cyan), 10);
    // Below the strip the surface is black.
    EXPECT_EQ(shot.pixelColor(160, 120), QColor(Qt::black));
}

// ---- the render surface ----------------------------------------------------------------

TEST(PlaySurface, PicturesFromAnotherThreadAreCopiedAndShownInSoftwareMode) {
    CPlayWnd surface(0);
    surface.resize(64, 48);
    surface.show();
    int vw = 0, vh = 0;
    ASSERT_TRUE(surface.ViewSize(&vw, &vh));
    EXPECT_EQ(QSize(vw, vh), QSize(64, 48));

    QSignalSpy states(&surface, &CPlayWnd::streamStateChanged);
    std::thread sdk([&] {
        std::vector<uint32_t> pixels(16 * 8, 0xFF112233u);
        surface.PresentFrame(reinterpret_cast<const uint8_t*>(pixels.data()), 16, 8, 16 * 4, 1);
        pixels.assign(pixels.size(), 0xFFFF0000u);   // the SDK reuses its buffer
        surface.StreamState(false);
    });
    sdk.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return surface.FramesShown() == 1; }, kWaitMs));
    EXPECT_EQ(surface.Picture().size(), QSize(16, 8));
    EXPECT_EQ(surface.Picture().pixel(3, 3), 0xFF112233u);
    EXPECT_EQ(surface.DisplayMode(), 1);
    EXPECT_FALSE(surface.GpuActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return states.count() == 1; }, kWaitMs));
    EXPECT_FALSE(states.at(0).at(0).toBool());
    // A 2:1 picture in a 4:3 surface: full width, black bars above and below,
    // and the SDK is told the picture's area for mapping mouse positions.
    const QImage shown = surface.grab().toImage();
    EXPECT_EQ(surface.PictureRect(), QRect(0, 8, 64, 32));
    EXPECT_EQ(shown.pixel(30, 20), 0xFF112233u);
    EXPECT_EQ(shown.pixel(30, 3), 0xFF000000u);
    EXPECT_EQ(shown.pixel(30, 44), 0xFF000000u);
    ASSERT_TRUE(surface.ViewSize(&vw, &vh));
    EXPECT_EQ(QSize(vw, vh), QSize(64, 32));
}

TEST(PlaySurface, ClearDropsWhatTheEndedPlayStillHadQueued) {
    CPlayWnd surface(0);
    surface.resize(32, 32);
    QSignalSpy states(&surface, &CPlayWnd::streamStateChanged);
    std::vector<uint32_t> pixels(4 * 4, 0xFF00FF00u);
    surface.PresentFrame(reinterpret_cast<const uint8_t*>(pixels.data()), 4, 4, 16, 1);
    surface.StreamState(true);
    surface.Clear();   // before the queued hand-over ran
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(surface.FramesShown(), 0);
    EXPECT_TRUE(surface.Picture().isNull());
    EXPECT_EQ(states.count(), 0);
    // Bad geometry from the SDK is ignored.
    surface.PresentFrame(reinterpret_cast<const uint8_t*>(pixels.data()), 4, 4, 8, 1);
    surface.PresentFrame(nullptr, 4, 4, 16, 1);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(surface.FramesShown(), 0);
    // The next picture is shown again.
    surface.PresentFrame(reinterpret_cast<const uint8_t*>(pixels.data()), 4, 4, 16, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return surface.FramesShown() == 1; }, kWaitMs));
    EXPECT_EQ(surface.DisplayMode(), 0);
    EXPECT_EQ(surface.GpuActive(), CPlayWnd::GpuAvailable());
}

// ---- detection boxes as draw items -------------------------------------------------------

TEST(DetectionDrawItems, MotionBoxesBecomeRedItemsAndOnlyTheFirstFourAreDrawn) {
    const std::vector<int32_t> words = {1, 10,  20,  30, 40, 2, 50, 60, 70, 80, 3, 0, 0, 5, 5,
                                        4, 100, 100, 1,  1,  5, 7,  7,  7,  7,  6, 8, 8, 8, 8};
    DetectionDraw draw;
    MakeDetectionDraw(ky::video::kMotionBoxes, words.data(), words.size(), 5, &draw);
    ASSERT_EQ(draw.count, 4);
    EXPECT_EQ(draw.penWidth, 5);
    const KY_DRAW_ITEM& first = draw.items[0];
    EXPECT_STREQ(first.label, "1");
    EXPECT_EQ(first.left, 10);
    EXPECT_EQ(first.top, 20);
    EXPECT_EQ(first.right, 40);
    EXPECT_EQ(first.bottom, 60);
    EXPECT_EQ(first.shape, 1);
    EXPECT_EQ(first.style, 3);
    EXPECT_EQ(first.kind, 4);
    EXPECT_EQ(first.fontSize, 24);
    EXPECT_EQ(first.lineStyle, 2);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(draw.items[i].color, &draw.colors[i]);
        EXPECT_EQ(draw.colors[i].color, 0xFFu);
        EXPECT_EQ(draw.colors[i].reserved0, 0);
        EXPECT_EQ(draw.colors[i].visible, 1);
        EXPECT_EQ(draw.colors[i].reserved1, 0);
    }
    EXPECT_STREQ(draw.items[3].label, "4");
}

TEST(DetectionDrawItems, PersonBoxesAreYellowNumberedFromOneHundredAndSafeAgainstOddInput) {
    const std::vector<int32_t> words = {7, 2147483000, -5, 2000, 10, 2147483647, 0, 0, 1, 1, 9, 9};
    DetectionDraw draw;
    MakeDetectionDraw(ky::video::kPersonBoxes, words.data(), words.size(), 2, &draw);
    ASSERT_EQ(draw.count, 2);   // the trailing partial record is ignored
    EXPECT_STREQ(draw.items[0].label, "107");
    EXPECT_EQ(draw.items[0].kind, 15);
    EXPECT_EQ(draw.colors[0].color, 0xFFFFu);
    EXPECT_EQ(draw.items[0].right, 2147483647);   // kept inside int32
    EXPECT_EQ(draw.items[0].top, -5);
    EXPECT_EQ(draw.items[0].bottom, 5);
    EXPECT_STREQ(draw.items[1].label, "2147483747");
    EXPECT_EQ(draw.penWidth, 2);

    MakeDetectionDraw(ky::video::kMotionBoxes, words.data(), 4, 5, &draw);
    EXPECT_EQ(draw.count, 0);
    EXPECT_EQ(draw.items[0].color, nullptr);
}

TEST(DetectionDrawItems, PenWidthFollowsPictureSizeOrStream) {
    using ky::video::kMotionBoxes;
    using ky::video::kPersonBoxes;
    EXPECT_EQ(DetectionPenWidth(kMotionBoxes, 1920, 1080, 0), 5);
    EXPECT_EQ(DetectionPenWidth(kMotionBoxes, 2560, 1080, 0), 5);
    EXPECT_EQ(DetectionPenWidth(kMotionBoxes, 1920, 1440, 0), 5);
    EXPECT_EQ(DetectionPenWidth(kMotionBoxes, 2560, 1440, 1), 10);
    EXPECT_EQ(DetectionPenWidth(kMotionBoxes, 0, 0, 0), 5);
    EXPECT_EQ(DetectionPenWidth(kPersonBoxes, 2560, 1440, 0), 5);
    EXPECT_EQ(DetectionPenWidth(kPersonBoxes, 640, 360, 1), 2);
}

}   // namespace
