#pragma once
// Values of the main settings that the foundation helpers read. The application sets them when it
// has loaded its settings, before worker threads start; until then they hold the settings' defaults.

#include <string>

namespace foundation {

struct Settings {
    // No network use at all.
    bool offlineMode = false;
    // The letters of a video ID; the video-ID pattern is this followed by "[0-9]+".
    std::wstring movieIdInitialRegex = L"(s[mko]|f[zx]|c[aw]|ax|y[ok]|ig|om|n[aml]|z[a-e])";
    // Group 1 is the title part of a file name; "[:id:]" stands for the name's video ID.
    std::wstring filenameTitleRegex = L"(.+)\\([:id:]\\).+?";
    // The user's browser; empty means the shell's default handler. In the command, "%path%" stands
    // for the browser and "%url%" for the address.
    std::wstring browserPath;
    std::wstring browserCommand = L"%path% %url%";
};

Settings& GetSettings();

} // namespace foundation
