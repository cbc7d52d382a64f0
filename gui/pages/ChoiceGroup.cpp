#include "gui/pages/ChoiceGroup.h"

#include <QAbstractButton>

CChoiceGroup::CChoiceGroup(QObject* parent, std::initializer_list<QAbstractButton*> buttons) : QButtonGroup(parent) {
    for (QAbstractButton* b : buttons) Add(b);
}

void CChoiceGroup::Add(QAbstractButton* button) { addButton(button, static_cast<int>(this->buttons().size())); }

void CChoiceGroup::Choose(int i) {
    if (QAbstractButton* b = button(i))
        b->setChecked(true);
    else
        Clear();
}

void CChoiceGroup::Clear() {
    // An exclusive group never lets its last checked button go.
    setExclusive(false);
    for (QAbstractButton* b : buttons()) b->setChecked(false);
    setExclusive(true);
}
