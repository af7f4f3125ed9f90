#include "foundation/PathUtil.h"

#include <windows.h>

std::wstring GetProgramPath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetProgramFolder() {
    static const std::wstring folder = [] {
        const std::wstring path = GetProgramPath();
        const auto slash = path.find_last_of(L"\\/");
        return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    }();
    return folder;
}

std::wstring GetArchiveFolder() { return GetProgramFolder() + L"\\archive"; }
