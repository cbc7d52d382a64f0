#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "gui/controls/WeekCtrl.h"
#include "tests/support/Golden.h"

namespace {

void SendMouse(QWidget& w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent ev(type, QPointF(pos), QPointF(w.mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &ev);
}
void Press(QWidget& w, QPoint p) { SendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
void Move(QWidget& w, QPoint p) { SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
void Release(QWidget& w, QPoint p) { SendMouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }

// Press at `from`, move through `path`, release at the last point.
void Drag(QWidget& w, QPoint from, const std::vector<QPoint>& path) {
    Press(w, from);
    for (QPoint p : path) Move(w, p);
    Release(w, path.empty() ? from : path.back());
}

// A point inside cell (day, slot) of a 560x200 grid (10x25 cells).
QPoint In(int day, int slot, int dx = 5, int dy = 12) { return QPoint(80 + slot * 10 + dx, 25 + day * 25 + dy); }

const CWeekCtrl::WeekText kEmpty = CWeekCtrl::FilledWeek(QLatin1Char('N'));

struct WeekGrid : ::testing::Test {
    CWeekCtrl grid;
    void SetUp() override {
        grid.resize(560, 200);
        grid.SetSchedule(0, kEmpty);
    }
    QString Day(int d) const { return grid.Text()[size_t(d)]; }
    QRgb PixelAt(QPoint p) {
        QImage img(grid.size(), QImage::Format_RGB32);
        grid.render(&img);
        return img.pixel(p);
    }
};

}   // namespace

// golden/drags.txt.
TEST_F(WeekGrid, DragTogglesWholeCellsGrowingOnlyRightAndDown) {
    auto point = [](const std::string& text) {
        const QStringList n = QString::fromStdString(text).split(QRegularExpression("[,@]"));
        return text.find('@') != std::string::npos
                   ? QPoint(n[0].toInt(), n[1].toInt())
                   : In(n[0].toInt(), n[1].toInt(), n.value(2, "5").toInt(), n.value(3, "12").toInt());
    };
    auto drag = [&](const std::vector<std::string>& a) {
        Drag(grid, In(1, 0), {In(1, 1)});
        grid.SetSchedule(0, kEmpty);
        std::vector<QPoint> path;
        for (size_t i = 1; i < a.size(); ++i) path.push_back(point(a[i]));
        Drag(grid, point(a[0]), path);
        EXPECT_FALSE(grid.IsDragging());
        QStringList armed;
        for (int d = 0; d < kWeekDays; ++d)
            for (int slot = 0; slot < Day(d).size(); ++slot)
                if (Day(d)[slot] == 'P') armed << QString("%1:%2").arg(d).arg(slot);
        return armed.join(' ').toStdString();
    };
    ky::test::ExpectGoldenResults(KY_DRAGS_GOLDEN, {{"Drag", drag}});
}

TEST_F(WeekGrid, MixedBlockIsInvertedPerCell) {
    CWeekCtrl::WeekText text = kEmpty;
    text[3].replace(10, 4, "PPNN");
    text[4].replace(10, 4, "NPNP");
    text[0][5] = QLatin1Char('x');   // not 'P': not armed
    grid.SetSchedule(7, text);
    Drag(grid, In(3, 10), {In(4, 13)});
    EXPECT_EQ(Day(3).mid(9, 6) + Day(4).mid(9, 6), "NNNPPNNPNPNN");
    Drag(grid, In(3, 10), {In(4, 13)});   // a second identical drag restores the block
    EXPECT_EQ(grid.Text(), text);
    Drag(grid, In(0, 5), {In(0, 5, 6)});
    EXPECT_EQ(Day(0).at(5), QLatin1Char('P'));
}

TEST_F(WeekGrid, OnlyALeftPressInsideTheCellsStartsADragAndLeavingTheGridSignals) {
    int outside = 0;
    QObject::connect(&grid, &CWeekCtrl::DragOutside, [&] { ++outside; });
    Press(grid, In(2, 2));
    Move(grid, In(2, 4));
    EXPECT_TRUE(grid.IsDragging() && outside == 0);
    Move(grid, QPoint(600, 70));
    EXPECT_EQ(outside, 1);
    grid.CancelDrag();   // drops the rectangle
    EXPECT_FALSE(grid.IsDragging());
    Release(grid, In(2, 4));
    EXPECT_EQ(grid.Text(), kEmpty);
    SendMouse(grid, QEvent::MouseButtonPress, In(2, 2), Qt::RightButton, Qt::RightButton);
    EXPECT_FALSE(grid.IsDragging());
    for (QPoint p : {QPoint(80, 60), QPoint(50, 60), QPoint(560, 60), QPoint(200, 25), QPoint(200, 200)}) {
        Press(grid, p);
        EXPECT_FALSE(grid.IsDragging()) << p.x() << "," << p.y();
    }
    // The press must lie below the header edge, whatever the cell height:
    // cells 50 high, the upper half of Sunday counts; 13 high, the header never does.
    grid.resize(560, 375);
    Drag(grid, QPoint(125, 30), {QPoint(125, 40)});
    EXPECT_EQ(Day(0).at(4), QLatin1Char('P'));
    grid.resize(560, 116);
    ASSERT_EQ(grid.CellHeight(), 13);
    Press(grid, QPoint(125, 20));
    EXPECT_FALSE(grid.IsDragging());
    // Below 128 pixels the cells have no width (never a negative one) and no press starts a drag.
    for (QSize size : {QSize(127, 200), QSize(40, 10)}) {
        grid.resize(size);
        EXPECT_EQ(grid.CellWidth(), 0);
        Press(grid, QPoint(100, 8));
        EXPECT_FALSE(grid.IsDragging());
    }
    EXPECT_EQ(grid.CellHeight(), 0);
}

TEST_F(WeekGrid, ScheduleKeepsItsIdentifierAndFortyEightHalfHoursADay) {
    int id = 5;
    CWeekCtrl::WeekText text;
    CWeekCtrl::WeekText in = CWeekCtrl::FilledWeek(QLatin1Char('P'));
    in[2] = "PN";               // short day: padded with zeros
    in[3] = QString(50, 'N');   // long day: cut to 48
    grid.SetSchedule(3, in);
    grid.GetSchedule(id, text);
    EXPECT_EQ(id, 3);
    EXPECT_EQ(text[2] + text[3], "PN" + QString(46, QChar(0)) + QString(48, 'N'));
    grid.SetSchedule(-4, in);   // negative: cleared
    grid.GetSchedule(id, text);
    EXPECT_EQ(id, -4);
    EXPECT_EQ(text, CWeekCtrl::FilledWeek(QChar(0)));
}

TEST_F(WeekGrid, CameraDayStringsRoundTripAndHalfHoursAfterAShortDayAreKept) {
    WeekDays days{};
    for (int d = 0; d < kWeekDays; ++d) std::memset(days[d], d % 2 ? 'P' : 'N', kDaySlots);
    std::memset(days[3], 'P', sizeof days[3]);   // all 49 bytes: only the first 48 count
    std::memcpy(days[4], "PPN", 4);              // short day
    const CWeekCtrl::WeekText text = CWeekCtrl::FromWeekDays(days);
    EXPECT_EQ(text[0] + text[3], QString(48, 'N') + QString(48, 'P'));
    EXPECT_EQ(text[4], "PPN" + QString(45, QChar(0)));
    WeekDays back;
    std::memset(back, 0x55, sizeof back);
    CWeekCtrl::ToWeekDays(text, back);
    EXPECT_STREQ(back[3], std::string(48, 'P').c_str());
    EXPECT_STREQ(back[4], ("PPN" + std::string(45, 'N')).c_str());   // never-set half hours go out as 'N'

    std::array<std::string, kWeekDays> strings;
    strings.fill(std::string(48, 'N'));
    strings[1] = "PPPP";
    strings[3] = std::string(48, 'P') + "PP";   // 50 characters from the camera
    strings[5] = "P\xe9N";                      // odd bytes survive unchanged
    grid.SetSchedule(0, CWeekCtrl::FromDayStrings(strings));
    Drag(grid, In(1, 20), {In(1, 21)});
    const auto out = CWeekCtrl::ToDayStrings(grid.Text());
    EXPECT_EQ(out[1], "PPPP" + std::string(16, 'N') + "PP" + std::string(26, 'N'));
    EXPECT_EQ(out[3], std::string(48, 'P'));
    EXPECT_EQ(out[5], "P\xe9N" + std::string(45, 'N'));
    EXPECT_EQ(out[0], strings[0]);
}

TEST_F(WeekGrid, PaintsArmedCellsAndTheHeldDragRectangle) {
    CWeekCtrl::WeekText text = kEmpty;
    text[1][16] = QLatin1Char('P');
    grid.SetSchedule(0, text);
    const QRgb armed = PixelAt(In(1, 16)), free = PixelAt(In(1, 15));
    EXPECT_NE(armed, free);
    EXPECT_EQ(PixelAt(In(2, 16)), free);
    grid.SetSchedule(-1, text);   // unloaded: no armed cells
    EXPECT_EQ(PixelAt(In(1, 16)), free);
    grid.SetSchedule(0, text);
    // While held, the rectangle marks the cells it covers, and only those.
    Press(grid, In(1, 16));
    Move(grid, In(2, 17));
    EXPECT_NE(PixelAt(In(2, 17)), free);
    EXPECT_NE(PixelAt(In(1, 16)), armed);
    EXPECT_EQ(PixelAt(In(3, 17)), free);
    Release(grid, In(2, 17));
    EXPECT_EQ(std::pair(PixelAt(In(2, 17)), PixelAt(In(1, 16))), std::pair(armed, free));
}
