#include "foundation/CIniFile.h"

#include "foundation/TextFile.h"

#include <windows.h>

#include <cwctype>
#include <cwchar>

namespace {

// The profile functions strip blanks, tabs and ^Z from both ends of a value on reading. Any other
// white space counts too, since which characters a reader strips is the platform's choice.
bool IsStrippedByProfile(wchar_t c) {
    return std::iswspace(c) != 0 || c == 0x1A;
}

bool NeedsQuotes(const std::wstring& value) {
    if (value.empty()) {
        return false;
    }
    return IsStrippedByProfile(value.front()) || IsStrippedByProfile(value.back()) || value.front() == L'"' ||
           value.front() == L'\'';
}

} // namespace

CIniFile::CIniFile(const std::wstring& path, const std::wstring& defaultSection)
    : m_path(path), m_defaultSection(defaultSection) {}

const std::wstring& CIniFile::SectionOr(const std::wstring& section) const {
    return section.empty() ? m_defaultSection : section;
}

bool CIniFile::ReadBool(const std::wstring& section, const std::wstring& key, bool defaultValue) const {
    return GetPrivateProfileIntW(SectionOr(section).c_str(), key.c_str(), defaultValue ? 1 : 0, m_path.c_str()) != 0;
}

int32_t CIniFile::ReadInt(const std::wstring& section, const std::wstring& key, int32_t defaultValue) const {
    return static_cast<int32_t>(
        GetPrivateProfileIntW(SectionOr(section).c_str(), key.c_str(), defaultValue, m_path.c_str()));
}

int64_t CIniFile::ReadInt64(const std::wstring& section, const std::wstring& key, int64_t defaultValue) const {
    const std::wstring value = ReadString(section, key, std::wstring());
    if (value.empty()) {
        return defaultValue;
    }
    return _wcstoi64(value.c_str(), nullptr, 10);
}

std::wstring CIniFile::ReadString(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& defaultValue) const {
    std::wstring buffer(256, L'\0');
    for (;;) {
        const DWORD length = GetPrivateProfileStringW(SectionOr(section).c_str(), key.c_str(), defaultValue.c_str(),
                                                      &buffer[0], static_cast<DWORD>(buffer.size()), m_path.c_str());
        // A cut value comes back as size - 1 characters; Wine's copy of a quoted value that just
        // overflows the buffer comes back one shorter still, so size - 2 counts as full too.
        if (length + 2 < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool CIniFile::WriteRaw(const std::wstring& section, const std::wstring& key, const wchar_t* value) {
    // The profile functions write a file in the encoding they find it in; a new file would be in the
    // ANSI code page, which turns every other character into "?". One with the UTF-16 mark keeps them.
    CreateUtf16FileIfMissing(m_path);
    return WritePrivateProfileStringW(SectionOr(section).c_str(), key.c_str(), value, m_path.c_str()) != FALSE;
}

bool CIniFile::DeleteKey(const std::wstring& section, const std::wstring& key) {
    return WritePrivateProfileStringW(SectionOr(section).c_str(), key.c_str(), nullptr, m_path.c_str()) != FALSE;
}

bool CIniFile::Write(const std::wstring& section, const std::wstring& key, int32_t value) {
    return WriteRaw(section, key, std::to_wstring(value).c_str());
}

bool CIniFile::Write(const std::wstring& section, const std::wstring& key, uint32_t value) {
    return WriteRaw(section, key, std::to_wstring(value).c_str());
}

bool CIniFile::Write(const std::wstring& section, const std::wstring& key, int64_t value) {
    return WriteRaw(section, key, std::to_wstring(value).c_str());
}

bool CIniFile::Write(const std::wstring& section, const std::wstring& key, bool value) {
    return WriteRaw(section, key, value ? L"1" : L"0");
}

bool CIniFile::Write(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    // A line break would end the value and leave the rest as a broken line of the file.
    if (value.find_first_of(L"\r\n") != std::wstring::npos) {
        return false;
    }
    return WriteRaw(section, key, (NeedsQuotes(value) ? L"\"" + value + L"\"" : value).c_str());
}
