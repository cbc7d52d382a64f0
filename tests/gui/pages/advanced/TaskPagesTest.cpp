// The restart timer, timed snapshots and planned recording against the
// emulated camera.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "gui/controls/WeekCtrl.h"
#include "gui/pages/advanced/P_RebootDlg.h"
#include "gui/pages/advanced/P_RecordDlg.h"
#include "gui/pages/advanced/P_SnapTDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using kytest::PageTest;

const std::string kP48(48, 'P');
const std::string kN48(48, 'N');
// Monday 08:00 to 10:00 and the last half hour armed.
const std::string kMonday = std::string(16, 'N') + "PPPP" + std::string(27, 'N') + "P";

class TaskPagesTest : public PageTest {};

TEST_F(TaskPagesTest, RestartTimerShowsAndRefusesValuesOutsideItsLists) {
    CP_RebootDlg page;
    struct Case {
        const char *day, *hour;
        int dayPos, hourPos;
        const char* refused;   // what Apply says; nullptr: it sends
    };
    const Case cases[] = {
        {"7", "3", 7, 3, nullptr},
        {"0", "23", 0, 23, nullptr},
        {"9", "3", -1, 3, "Please select the restart day!"},
        {"2", "24", 2, -1, "Please select the restart time!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.day) + " " + c.hour);
        EmuSet("sr_enable", "1");
        EmuSet("sr_day", c.day);
        EmuSet("sr_hour", c.hour);
        presenter.Clear();
        Refresh(page);
        EXPECT_TRUE(page.OnButton()->isChecked());
        EXPECT_EQ(c.dayPos, page.DayList()->currentIndex());
        EXPECT_EQ(c.hourPos, page.HourList()->currentIndex());
        page.OffButton()->setChecked(true);
        Apply(page);
        if (c.refused) {
            EXPECT_EQ(QStringList{c.refused}, presenter.texts);
            EXPECT_EQ("1", EmuGet("sr_enable"));   // nothing sent
        } else {
            EXPECT_EQ(QStringList{"Timed restart setting succeeded!"}, presenter.texts);
            EXPECT_EQ("0", EmuAwait("sr_enable", "0"));
            EXPECT_EQ(c.day, EmuGet("sr_day"));
        }
    }
    EXPECT_EQ("Every day", page.DayList()->itemText(7));

    // A failed write clears the page without a message.
    page.HourList()->setCurrentIndex(4);
    Fault("error");
    presenter.Clear();
    Apply(page);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_FALSE(page.OnButton()->isChecked() || page.OffButton()->isChecked());
    EXPECT_EQ(-1, page.DayList()->currentIndex());
}

TEST_F(TaskPagesTest, SnapshotWeekRoundTrip) {
    CP_SnapTDlg page;
    EmuSet("as_snap_interval", "30");
    EmuSet("snap.week1", kMonday);
    Refresh(page);
    EXPECT_EQ("30", page.IntervalEdit()->text());
    EXPECT_EQ(QString::fromStdString(kMonday), page.Week()->Text()[1]);
    EXPECT_EQ(QString::fromStdString(kN48), page.Week()->Text()[0]);

    // Read, written back unchanged: the same texts arrive.
    page.IntervalEdit()->setText("45");
    Apply(page);
    EXPECT_EQ(QStringList{"Parameter setting succeeded!"}, presenter.texts);
    EXPECT_EQ("45", EmuAwait("as_snap_interval", "45"));
    EXPECT_EQ(kMonday, EmuGet("snap.week1"));
    EXPECT_EQ(kN48, EmuGet("snap.week6"));

    page.findChild<QPushButton*>("weekSelectAll")->click();
    Apply(page);
    for (int d = 0; d < 7; ++d) EXPECT_EQ(kP48, EmuAwait("snap.week" + std::to_string(d), kP48)) << d;
}

TEST_F(TaskPagesTest, RecordingAsksFirstAndKeepsItsWeek) {
    CP_RecordDlg page;
    EmuSet("planrec_enable", "1");
    EmuSet("planrec_time", "600");
    for (const char* chn : {"12", "13", "11"}) {
        EmuSet("planrec_chn", chn);
        Refresh(page);
        EXPECT_EQ(std::string(chn) == "11" ? 0 : 1, page.StreamList()->currentIndex()) << chn;
    }
    EXPECT_TRUE(page.OnButton()->isChecked());

    // No: nothing is sent and the controls stay as they are.
    CWeekCtrl::WeekText week = CWeekCtrl::FilledWeek(QLatin1Char('N'));
    week[1] = QString::fromStdString(kMonday);
    page.Week()->SetSchedule(0, week);
    page.OffButton()->setChecked(true);
    presenter.answers = {false};
    Apply(page);
    EXPECT_EQ(1, presenter.texts.size());
    EXPECT_EQ("1", EmuGet("planrec_enable"));
    EXPECT_TRUE(page.OffButton()->isChecked());
    EXPECT_EQ(QString::fromStdString(kMonday), page.Week()->Text()[1]);

    presenter.answers = {true};
    page.StreamList()->setCurrentIndex(1);
    Apply(page);
    EXPECT_EQ("Parameter setting succeeded!", presenter.Last());
    EXPECT_EQ("0", EmuAwait("planrec_enable", "0"));
    EXPECT_EQ("12", EmuGet("planrec_chn"));
    EXPECT_EQ(kMonday, EmuGet("plan.week1"));
    EXPECT_EQ(kN48, EmuGet("plan.week0"));
}

}   // namespace
