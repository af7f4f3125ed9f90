#pragma once
// One ini file with a default section, over the platform's profile functions (keys and sections
// are matched without regard to case; a file without a UTF-16 mark holds ANSI text, and a file the
// first write creates gets the mark, so that every character survives). A section
// argument left empty means the default section. The path must be a full path: the platform looks
// up a bare file name in the Windows folder.

#include <cstdint>
#include <string>

class CIniFile {
public:
    CIniFile(const std::wstring& path, const std::wstring& defaultSection);

    // Not 0; also when the value is not a number (read as 0).
    bool ReadBool(const std::wstring& section, const std::wstring& key, bool defaultValue) const;
    // The default when the key is missing; callers pass 0x80000000 to mean "not set".
    int32_t ReadInt(const std::wstring& section, const std::wstring& key, int32_t defaultValue) const;
    // The leading decimal number of the value; the default when the key is missing or empty.
    int64_t ReadInt64(const std::wstring& section, const std::wstring& key, int64_t defaultValue) const;
    // The whole value, however long, without its surrounding blanks and one pair of surrounding
    // quotes (removed by the platform); the default when the key is missing.
    std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                            const std::wstring& defaultValue) const;
    std::wstring Read(const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue) const {
        return ReadString(section, key, defaultValue);
    }

    // Each writes the key at once and returns the platform's result. Numbers are written in
    // decimal, bools as "1" or "0".
    bool Write(const std::wstring& section, const std::wstring& key, int32_t value);
    bool Write(const std::wstring& section, const std::wstring& key, uint32_t value);
    bool Write(const std::wstring& section, const std::wstring& key, int64_t value);
    bool Write(const std::wstring& section, const std::wstring& key, bool value);
    // A value that reading would alter (surrounding blanks, a leading quote) is written inside double
    // quotes, so that ReadString gives it back unchanged. A value with a line break is refused (false).
    bool Write(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    bool DeleteKey(const std::wstring& section, const std::wstring& key);
    // Without it a literal would choose the bool overload.
    bool Write(const std::wstring& section, const std::wstring& key, const wchar_t* value) {
        return Write(section, key, std::wstring(value != nullptr ? value : L""));
    }

private:
    const std::wstring& SectionOr(const std::wstring& section) const;
    bool WriteRaw(const std::wstring& section, const std::wstring& key, const wchar_t* value);

    std::wstring m_path;
    std::wstring m_defaultSection;
};
