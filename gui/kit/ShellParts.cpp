#include "gui/kit/ShellParts.h"

ShellParts& ShellParts::Instance() {
    static ShellParts parts = [] {
        ShellParts p;
        RegisterBuiltInParts(p);
        return p;
    }();
    return parts;
}
