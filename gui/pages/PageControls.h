#pragma once
// Small pieces the camera pages share: a radio pair that may have neither
// button checked, and reading controls into records (texts are UTF-8 on the
// wire; gui/kit/FieldQText.h goes the other way).
#include <QList>
#include <QObject>
#include <QString>
#include <cstddef>

class CChoiceGroup;
class QHBoxLayout;
class QLineEdit;
class QRadioButton;
class QWidget;

// Two radio buttons in a row, exclusive between themselves only (a page has
// several pairs), e.g. "On"/"Off". A cleared pair has neither checked.
class CRadioPair : public QObject {
    Q_OBJECT
public:
    // The buttons are children of parent, so the page translates them.
    CRadioPair(QWidget* parent, const char* first, const char* second);

    QRadioButton* First() const { return m_first; }
    QRadioButton* Second() const { return m_second; }
    // The two buttons side by side, left-aligned.
    QHBoxLayout* Row() const { return m_row; }

    // 0 first checked, 1 second, -1 neither.
    int Checked() const;
    // 0 or 1 checks that button; any other value clears the pair.
    void Check(int index);
    void Clear();
    // The usual on/off reading: 1 when the first is checked, else 0.
    int Flag() const { return Checked() == 0 ? 1 : 0; }

signals:
    // The user chose a button (0 first, 1 second).
    void chosen(int index);

private:
    QRadioButton* m_first;
    QRadioButton* m_second;
    CChoiceGroup* m_group;
    QHBoxLayout* m_row;
};

namespace ky::pages {

// text as UTF-8 into a zero-filled field of width bytes, cut at a character
// boundary so that a NUL always follows.
void CopyToField(const QString& text, char* field, size_t width);
template <size_t N>
void CopyToField(const QString& text, char (&field)[N]) {
    CopyToField(text, field, N);
}

// The decimal value of an edit as atoi reads it ("12ab" is 12, a word 0).
int DecimalValue(const QLineEdit* edit);

// Shows or hides every widget in the list.
void SetVisible(const QList<QWidget*>& widgets, bool on);

}   // namespace ky::pages

class CWeekCtrl;
class QBoxLayout;

// The week grid's "Select List" and "Clear List" buttons in a row: every
// half hour of the week armed or not.
QBoxLayout* WeekListButtons(CWeekCtrl* grid, QWidget* parent);
// A week grid of the schedule pages, big enough for readable hour numbers,
// every half hour 'N'.
CWeekCtrl* NewWeekGrid(QWidget* parent);
