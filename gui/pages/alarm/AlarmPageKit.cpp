#include "gui/pages/alarm/AlarmPageKit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "gui/live/LeftPlayDlg.h"

namespace ky::pages {

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    for (QPushButton* b : buttons) row->addWidget(b);
    row->addStretch(1);
    return row;
}

void FilterSmallNumber(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        const QString filtered = CLeftPlayDlg::FilterNumberText(text);
        if (filtered == text) return;
        // Comes back here once more with the filtered text.
        edit->setText(filtered);
        edit->setCursorPosition(int(edit->text().size()));
    });
}

}   // namespace ky::pages
