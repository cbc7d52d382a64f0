#include "gui/kit/Translate.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include "core/services/LangText.h"

QString LangTextEx(const std::string& section, const QString& key) {
    if (key.isEmpty()) return key;
    return QString::fromStdString(GetLangTextEx(section, key.toStdString()));
}

QString LangText(const QString& key) { return LangTextEx("CONFIG", key); }

void TranslateWindowEx(const std::string& section, QWidget* window) {
    if (!window) return;
    const QString title = window->windowTitle();
    if (!title.isEmpty()) window->setWindowTitle(LangTextEx(section, title));

    // children() keeps creation order, the counterpart of the dialog's
    // window order.
    for (QObject* child : window->children()) {
        if (auto* label = qobject_cast<QLabel*>(child)) {
            if (!label->text().isEmpty()) label->setText(LangTextEx(section, label->text()));
        } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
            if (!button->text().isEmpty()) button->setText(LangTextEx(section, button->text()));
        } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
            if (!group->title().isEmpty()) group->setTitle(LangTextEx(section, group->title()));
        }
    }
}

void TranslateWindow(QWidget* window) { TranslateWindowEx("CONFIG", window); }
