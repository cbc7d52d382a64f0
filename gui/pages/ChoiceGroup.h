#pragma once
// Mutually exclusive radio buttons (On/Off, the four OSD places) that can
// also show no choice at all, as a cleared page does. Buttons are numbered by
// the order they are added.
#include <QButtonGroup>
#include <initializer_list>

class QAbstractButton;

class CChoiceGroup : public QButtonGroup {
public:
    explicit CChoiceGroup(QObject* parent, std::initializer_list<QAbstractButton*> buttons = {});

    void Add(QAbstractButton* button);
    // Position of the checked button; -1 when none is checked.
    int Choice() const { return checkedId(); }
    // Checks button i; an i without a button clears the group.
    void Choose(int i);
    void Clear();
};
