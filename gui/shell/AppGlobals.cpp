#include "gui/shell/AppGlobals.h"

CLocalStore* g_pLocalStore = nullptr;

void ToolUser::Set(const QString& name, const QString& pwd) {
    user = name.left(kMaxChars);
    password = pwd.left(kMaxChars);
}

ToolUser& CurrentToolUser() {
    static ToolUser user;
    return user;
}
