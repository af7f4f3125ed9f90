#include "foundation/TextFile.h"

#include "foundation/Handles.h"
#include "foundation/StringUtil.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kByteOrderMark = 0xFEFF;
// A text file beyond this is not one of ours; refusing it keeps the 32-bit build from exhausting memory.
constexpr LONGLONG kMaxFileSize = 0x40000000;

TextFileStatus ReadBytes(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    // Sharing everything lets a writer replace the file while it is read.
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TextFileStatus::NotFound
                                                                              : TextFileStatus::Failed;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxFileSize) {
        return TextFileStatus::Failed;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &read, nullptr)) {
            bytes.clear();
            return TextFileStatus::Failed;
        }
        if (read == 0) {
            bytes.resize(done); // the file shrank meanwhile
            break;
        }
        done += read;
    }
    return TextFileStatus::Read;
}

std::wstring DecodeText(const std::string& bytes) {
    std::wstring text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        text.resize((bytes.size() - 2) / 2);
        for (size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                           (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
        }
    } else {
        text = AnsiToWide(bytes);
    }
    ReplaceAll(text, L"\r\n", L"\n");
    return text;
}

std::vector<unsigned char> EncodeText(const std::wstring& text) {
    std::vector<unsigned char> bytes;
    bytes.reserve(2 + text.size() * 2 + text.size() / 8);
    auto put = [&bytes](wchar_t unit) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>((unit >> 8) & 0xFF));
    };
    put(kByteOrderMark);
    for (size_t i = 0; i < text.size(); ++i) {
        // A CR LF already in the text is one line end; doubling its CR would add a line break.
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) {
            put(L'\r');
        }
        put(text[i]);
    }
    return bytes;
}

std::wstring FolderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return L".";
    }
    if (slash == 0 || path[slash - 1] == L':') {
        return path.substr(0, slash + 1); // "\" or "C:\" itself
    }
    return path.substr(0, slash);
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool ReplaceWith(const std::wstring& temporary, const std::wstring& path) {
    // A reader or a virus scanner that holds the old file open blocks the rename for a moment.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = GetLastError();
        if (attempt >= 5 ||
            (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION)) {
            return false;
        }
        Sleep(20);
    }
}

} // namespace

TextFileStatus ReadTextFileChecked(const std::wstring& path, std::wstring& text) {
    text.clear();
    std::string bytes;
    const TextFileStatus status = ReadBytes(path, bytes);
    if (status == TextFileStatus::Read) {
        text = DecodeText(bytes);
    }
    return status;
}

bool ReadTextFile(const std::wstring& path, std::wstring& text) {
    ReadTextFileChecked(path, text);
    return !text.empty();
}

bool WriteTextFile(const std::wstring& path, const std::wstring& text) {
    const std::vector<unsigned char> bytes = EncodeText(text);
    return WriteFileReplacing(path, bytes.data(), bytes.size());
}

bool WriteFileReplacing(const std::wstring& path, const void* data, size_t size) {
    if (path.empty()) {
        return false;
    }
    wchar_t temporary[MAX_PATH] = {};
    if (GetTempFileNameW(FolderOf(path).c_str(), L"vel", 0, temporary) == 0) {
        return false;
    }
    bool ok = false;
    {
        CFileHandle file(
            CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ok = file.IsValid() && WriteAll(file.Get(), data, size) && FlushFileBuffers(file.Get()) && file.Close();
    }
    ok = ok && ReplaceWith(temporary, path);
    if (!ok) {
        DeleteFileW(temporary);
    }
    return ok;
}

bool CreateUtf16FileIfMissing(const std::wstring& path, const std::wstring& text) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        // Made meanwhile by another writer: it exists, which is what was asked.
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    const std::wstring withMark = std::wstring(1, kByteOrderMark) + text;
    return WriteAll(file.Get(), withMark.data(), withMark.size() * sizeof(wchar_t)) && file.Close();
}
