#pragma once
// Small pieces the alarm and region pages share.
#include <initializer_list>

class QHBoxLayout;
class QLineEdit;
class QPushButton;

namespace ky::pages {

// The page's buttons in one row, left-aligned.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons);

// The small-number filter on every change of edit's text: a lone "0" is
// emptied, a longer text is cut to three characters (caret at the end), a
// character that is not a digit is removed.
void FilterSmallNumber(QLineEdit* edit);

}   // namespace ky::pages
