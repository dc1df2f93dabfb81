#include "ClientEntry.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand)
{
    return RunClient(instance, commandLine ? commandLine : L"", showCommand);
}
