// Start-up: the calculator window, or with arguments of its own the command
// line, which never makes a window and needs no display. The program links
// Qt Core only; the window comes in its module with Qt Widgets and Gui.
#include "app/command_line.h"
#include "app/window_start.h"

int main(int argc, char* argv[])
{
    if (!quarven::WantsWindow(argc, argv))
        return quarven::RunCommandLine(argc, argv);
    return quarven::RunWindow(argc, argv, quarven::WindowTrials(argc, argv));
}
