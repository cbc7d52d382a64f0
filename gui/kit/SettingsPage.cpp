#include "gui/kit/SettingsPage.h"

CSettingsPage::CSettingsPage(QWidget* parent) : QWidget(parent) {}

CSettingsPage::~CSettingsPage() = default;
