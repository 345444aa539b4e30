// Windows: the overrides live where QSettings' native format puts Ports/COMn, the registry key
// HKEY_CURRENT_USER\Software\Velmora\Quorvane_Tools\Ports, one string value per COM number.
#include "link/ports/port_overrides_win32.h"
#include "link/ports/port_overrides.h"

#include <optional>
#include <string>

namespace qv::link {

namespace {

// A REG_SZ value as UTF-8; nothing for a missing value or one of another type (QSettings
// writes a list as REG_MULTI_SZ, which the window does not take as a path either).
std::optional<std::string> ReadString(HKEY key, const std::wstring& name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &got) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    text.resize(got / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

} // namespace

PortMap ReadPortOverridesFrom(HKEY root, const wchar_t* subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    PortMap map;
    for (int port = kFirstComPort; port <= kLastComPort; ++port)
        if (auto value = ReadString(key, L"COM" + std::to_wstring(port)))
            map[port] = std::move(*value);
    RegCloseKey(key);
    return map;
}

std::string UserSettingsFile() {
    return {}; // the registry, not a file
}

PortMap ReadPortOverrides() {
    return ReadPortOverridesFrom(HKEY_CURRENT_USER, kPortOverridesKey);
}

} // namespace qv::link
