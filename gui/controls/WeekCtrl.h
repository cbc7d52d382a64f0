#pragma once
// Week grid of the schedule pages: seven rows (Sunday to Saturday) by 48
// half-hour columns. The user drags rectangles to toggle half hours between
// 'P' (armed) and 'N' (not armed).
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <string>

#include "core/cgi/rec/AlarmRecords.h"

class CWeekCtrl : public QWidget {
    Q_OBJECT
public:
    // Fixed geometry: day-name column on the left, hour-number row on top.
    static constexpr int kLabelWidth = 80;
    static constexpr int kHeaderHeight = 25;

    // The grid's text: one QString per day, Sunday first, each exactly 48
    // characters; character i is the half hour from i x 30 minutes. A zero
    // character marks a half hour that no schedule has set.
    using WeekText = std::array<QString, kWeekDays>;

    explicit CWeekCtrl(QWidget* parent = nullptr);

    // Stores the identifier; for identifier >= 0 takes the first 48
    // characters of each day (shorter days are padded with zeros), for a
    // negative identifier clears the grid. Repaints.
    void SetSchedule(int id, const WeekText& text);
    void GetSchedule(int& id, WeekText& text) const;
    int ScheduleId() const { return m_id; }
    const WeekText& Text() const { return m_text; }

    bool IsDragging() const { return m_dragging; }
    // Drops the drag without toggling anything.
    void CancelDrag();
    // The drag rectangle in client pixels, right and bottom exclusive.
    QRect DragRect() const;

    // Geometry of the current size.
    int CellWidth() const;
    int CellHeight() const;
    QRect CellRect(int day, int slot) const;

    // Conversions between the grid's text and the single-byte day strings of
    // the camera records. Bytes map one to one onto characters, so a day
    // that is read and written unchanged keeps its exact bytes; only the
    // first 48 bytes of a day count, and a day stops at its first zero byte.
    static WeekText FromWeekDays(const WeekDays& days);
    static WeekText FromDayStrings(const std::array<std::string, kWeekDays>& days);
    // Half hours that were never set become 'N': a zero inside a day would
    // end the string and drop every half hour after it.
    static void ToWeekDays(const WeekText& text, WeekDays& days);
    static std::array<std::string, kWeekDays> ToDayStrings(const WeekText& text);
    // Every half hour of every day set to `flag` ("Select List", "Clear List").
    static WeekText FilledWeek(QChar flag);

signals:
    // The pointer moved outside the grid while a drag is running (the grid
    // keeps receiving the moves of its own drag); the page may cancel it.
    void DragOutside();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int GridWidth() const;
    int GridHeight() const;
    // Column or row under a coordinate; -1 outside the cells.
    int SlotAt(int x) const;
    int DayAt(int y) const;
    void ToggleDragRect();

    int m_id = -1;
    WeekText m_text;
    bool m_dragging = false;
    int m_left = 0;
    int m_top = 0;
    int m_right = 0;
    int m_bottom = 0;
    QFont m_font;
    std::array<QString, kWeekDays> m_dayNames;
};
