// The desktop program: the engine with its windows.
#include "ui/mainwindow/DesktopProgram.h"

int main(int argc, char** argv) {
    return zm::RunDesktopProgram(argc, argv);
}
