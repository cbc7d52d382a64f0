#include "gui/kit/ShellViews.h"

ShellViews& ShellViews::Instance() {
    static ShellViews views = [] {
        ShellViews v;
        RegisterBuiltInViews(v);
        return v;
    }();
    return views;
}
