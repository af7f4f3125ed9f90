#include "CWndMain/UpdaterUtil.h"

#include "foundation/StringUtil.h"

#include <shellapi.h>

#include <cstdlib>

std::vector<std::wstring> GetProgramArguments() {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) {
        return args;
    }
    for (int i = 1; i < count; ++i) {
        args.emplace_back(words[i]);
    }
    LocalFree(words);
    return args;
}

std::wstring GetCommandLineValue(const std::wstring& prefix, const std::vector<std::wstring>& args,
                                 const std::wstring& defaultValue) {
    std::wstring value = defaultValue;
    for (const std::wstring& arg : args) {
        if (arg.compare(0, prefix.size(), prefix) == 0) {
            value = arg.substr(prefix.size());
        }
    }
    return value;
}

std::wstring GetModuleFilePath() {
    std::wstring buffer(260, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return L"";
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetDirectoryPathNoSlash(const std::wstring& path) {
    // Split by hand rather than into fixed buffers, so that a long path is not cut.
    const size_t end = path.find_last_of(L"\\/:");
    std::wstring folder = end == std::wstring::npos ? L"" : path.substr(0, end + 1);
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) {
        folder.pop_back();
    }
    return folder;
}

std::wstring GetModuleDirectory() {
    return GetDirectoryPathNoSlash(GetModuleFilePath());
}

std::wstring ToWideString(const std::string& text) {
    return AnsiToWide(text);
}

std::wstring ToWideString(const std::wstring& text) {
    return text;
}

std::string ToNarrowString(const std::wstring& text) {
    return WideToAnsi(text);
}

int RenamePath(const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags, HWND owner) {
    const std::wstring fromList = from + std::wstring(2, L'\0');
    const std::wstring toList = to + std::wstring(2, L'\0');
    SHFILEOPSTRUCTW op = {};
    op.hwnd = owner;
    op.wFunc = FO_RENAME;
    op.pFrom = fromList.c_str();
    op.pTo = toList.c_str();
    op.fFlags = flags;
    return SHFileOperationW(&op);
}
