#include "gui/shell/KyCamToolApp.h"

int main(int argc, char** argv) {
    CKyCamToolApp app;
    return app.Run(argc, argv);
}
