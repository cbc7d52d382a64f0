#pragma once
// An "On"/"Off" radio pair of the alarm pages. Pairs on one page are
// exclusive among themselves only, and a cleared pair has neither checked.
#include <QObject>

class CChoiceGroup;
class QHBoxLayout;
class QRadioButton;
class QWidget;

class COnOffPair : public QObject {
    Q_OBJECT
public:
    // The buttons are children of parent (so the page translates them).
    explicit COnOffPair(QWidget* parent);

    QRadioButton* On() const { return m_on; }
    QRadioButton* Off() const { return m_off; }
    // The two buttons side by side.
    QHBoxLayout* Row() const { return m_row; }

    void Set(bool on);
    // Neither checked.
    void Clear();
    bool IsOn() const;

signals:
    // The user chose a button.
    void chosen(bool on);

private:
    QRadioButton* m_on;
    QRadioButton* m_off;
    CChoiceGroup* m_group;
    QHBoxLayout* m_row;
};
