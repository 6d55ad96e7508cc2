// A windowed program starts without a console. Started from one, it writes
// --help, --version and its complaints there; output already sent to a file
// or a pipe stays where it goes.
#include <stdio.h>
#include <windows.h>

void AttachParentConsole()
{
    const bool outRedirected = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
    const bool errRedirected = GetFileType(GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_UNKNOWN;
    if ((outRedirected && errRedirected) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    FILE* stream = nullptr;
    if (!outRedirected)
        freopen_s(&stream, "CONOUT$", "w", stdout);
    if (!errRedirected)
        freopen_s(&stream, "CONOUT$", "w", stderr);
}
