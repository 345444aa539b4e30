#include "shell/console.h"

#include <windows.h>

#include <cstdio>

namespace qv {

void UseParentConsole() {
    const auto unset = [](DWORD which) {
        return GetFileType(GetStdHandle(which)) == FILE_TYPE_UNKNOWN;
    };
    const bool out = unset(STD_OUTPUT_HANDLE);
    const bool err = unset(STD_ERROR_HANDLE);
    if (!(out || err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    // std::cout and std::cerr write through stdout and stderr (synchronised with stdio).
    if (out && std::freopen("CONOUT$", "w", stdout) == nullptr)
        return;
    if (err)
        std::freopen("CONOUT$", "w", stderr);
}

} // namespace qv
