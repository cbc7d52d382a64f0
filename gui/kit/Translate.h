#pragma once
// Translating a dialog or page in place through the language file: its
// window title and the texts of its direct child labels, buttons, check
// boxes, radio buttons and group boxes. Edit boxes, lists and grandchildren
// are left alone (a page that nests controls in a container translates the
// container too). Empty texts are not looked up.
#include <QString>
#include <string>

class QWidget;

// Section "CONFIG".
void TranslateWindow(QWidget* window);
void TranslateWindowEx(const std::string& section, QWidget* window);

// One text through a section, as a QString (tree labels, list entries). With
// no language file the few Chinese keys show the English built in here.
QString LangTextEx(const std::string& section, const QString& key);
QString LangText(const QString& key);
