#include "foundation/CSectionFile.h"

#include "foundation/CCritSec.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"
#include "foundation/TextFile.h"

#include <windows.h>

#include <boost/lexical_cast.hpp>
#include <map>
#include <memory>

namespace {

// Plain arrays, so that files can still be written during static destruction.
constexpr wchar_t kBlankMarker[] = L"%_BLANK_%";
constexpr wchar_t kDummyHeader[] = L"[%_DUMMY_SECTION_%]";
constexpr size_t kDummyHeaderLength = sizeof(kDummyHeader) / sizeof(kDummyHeader[0]) - 1;

std::wstring LockKey(const std::wstring& path) {
    return ToLower(GetAbsolutePath(std::wstring(), path, false));
}

// One lock per file for the whole process. The registry is never freed, for the same reason.
CCritSec& LockFor(const std::wstring& path) {
    static auto* registryLock = new CCritSec;
    static auto* locks = new std::map<std::wstring, std::unique_ptr<CCritSec>>;
    const std::wstring key = LockKey(path);
    CAutoLock guard(registryLock);
    auto& lock = (*locks)[key];
    if (!lock) {
        lock = std::make_unique<CCritSec>();
    }
    return *lock;
}

bool IsLineStart(const std::wstring& text, size_t pos) {
    return pos == 0 || text[pos - 1] == L'\n';
}

// The first position at or after from where the header line "[name]" LF begins a line.
size_t FindHeader(const std::wstring& text, const std::wstring& header, size_t from) {
    for (size_t pos = text.find(header, from); pos != std::wstring::npos; pos = text.find(header, pos + 1)) {
        if (IsLineStart(text, pos)) {
            return pos;
        }
    }
    return std::wstring::npos;
}

std::wstring HeaderLine(const std::wstring& name) {
    return L"[" + name + L"]\n";
}

// Puts an empty line before every line that begins with "[" and follows a non-empty line. The
// scan consumes the "[" of each line it separates, as a left-to-right replacement would.
std::wstring Normalise(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] != L'\n' && i + 2 < text.size() && text[i + 1] == L'\n' && text[i + 2] == L'[') {
            out += L"\n\n[";
            i += 2;
        }
    }
    return out;
}

std::wstring FindSectionBody(std::wstring text, const std::wstring& name) {
    if (text.empty() || text.back() != L'\n') {
        text += L'\n';
    }
    // The sentinel stands where the next section would, behind its empty line: without that line a
    // last body that ends with LF would come back one LF short.
    text += L'\n';
    text += kDummyHeader;
    const std::wstring header = HeaderLine(name);
    const size_t pos = FindHeader(text, header, 0);
    if (pos == std::wstring::npos) {
        return std::wstring();
    }
    const size_t start = pos + header.size();
    const size_t end = text.find(L"\n[", start);
    if (end == std::wstring::npos) {
        return std::wstring();
    }
    std::wstring body = text.substr(start, end - start);
    if (!body.empty()) {
        ReplaceAll(body, kBlankMarker, L"");
        if (!body.empty() && body.back() == L'\n') {
            body.pop_back();
        }
    }
    return body;
}

std::wstring EscapeBody(const std::wstring& body) {
    std::wstring escaped = body;
    if (!escaped.empty() && escaped.front() == L'[') {
        escaped.insert(0, kBlankMarker);
    }
    ReplaceAll(escaped, L"\n[", std::wstring(L"\n") + kBlankMarker + L"[");
    return escaped;
}

// The body is spliced in literally; nothing in it is taken for a pattern or a group reference.
void ReplaceSectionText(std::wstring& text, const std::wstring& name, const std::wstring& body) {
    const std::wstring escaped = EscapeBody(body);
    const std::wstring header = HeaderLine(name);
    // A header on the last line without its line end still names the section.
    if (!text.empty() && text.back() != L'\n') {
        text += L'\n';
    }
    if (FindHeader(text, header, 0) == std::wstring::npos) {
        if (!text.empty()) {
            text += L'\n';
        }
        text += header + escaped + L'\n';
        return;
    }
    text += L'\n';
    text += kDummyHeader;
    std::wstring out;
    out.reserve(text.size() + escaped.size());
    size_t done = 0;
    for (size_t pos = FindHeader(text, header, 0); pos != std::wstring::npos; pos = FindHeader(text, header, done)) {
        // The sentinel guarantees a following "\n[" for every header.
        const size_t end = text.find(L"\n[", pos + header.size());
        out.append(text, done, pos - done);
        out += header + escaped + L"\n\n[";
        done = end + 2;
    }
    out.append(text, done, std::wstring::npos);
    out.resize(out.size() - (kDummyHeaderLength + 1));
    text.swap(out);
}

} // namespace

bool CSectionFile::AssignPath(const std::wstring& path) {
    m_path = path;
    return FileExists(path);
}

std::wstring CSectionFile::ReadText(const std::wstring& /*defaultText*/) const {
    CAutoLock guard(LockFor(m_path));
    std::wstring text;
    ReadTextFile(m_path, text);
    return Normalise(text);
}

std::wstring CSectionFile::ReadSection(const std::wstring& name, const std::wstring& defaultText) const {
    if (m_path.empty() || !FileExists(m_path)) {
        return defaultText;
    }
    return FindSectionBody(ReadText(std::wstring()), name);
}

std::vector<std::wstring> CSectionFile::ReadSectionLines(const std::wstring& name, bool skipEmptyLines) const {
    const std::wstring body = ReadSection(name, std::wstring());
    std::vector<std::wstring> lines = Split(body, L"\n", skipEmptyLines);
    if (!skipEmptyLines && !body.empty() && body.back() == L'\n') {
        lines.emplace_back();
    }
    return lines;
}

std::wstring CSectionFile::ReadSectionValue(const std::wstring& name, const std::wstring& defaultText) const {
    return ReadSection(name, defaultText);
}

int CSectionFile::ReadSectionInt(const std::wstring& name) const {
    try {
        return boost::lexical_cast<int>(ReadSectionValue(name, L"-1"));
    } catch (const boost::bad_lexical_cast&) {
        return -1;
    }
}

bool CSectionFile::SetSection(const std::wstring& name, const std::wstring& text) {
    CAutoLock guard(LockFor(m_path));
    std::wstring content;
    // Rewriting a file that exists but could not be read would replace it by this one section.
    if (ReadTextFileChecked(m_path, content) == TextFileStatus::Failed) {
        return false;
    }
    content = Normalise(content);
    ReplaceSectionText(content, name, text);
    return WriteTextFile(m_path, content);
}

bool CSectionFile::SetSectionLines(const std::wstring& name, const std::vector<std::wstring>& lines) {
    return SetSection(name, JoinStrings(lines, L"\n"));
}

bool CSectionFile::SetSectionValue(const std::wstring& name, const std::wstring& text) {
    return SetSection(name, text);
}

bool CSectionFile::SetSectionValue(const std::wstring& name, int value) {
    return SetSection(name, std::to_wstring(value));
}

bool CSectionFile::AppendLine(const std::wstring& name, const std::wstring& line) {
    CAutoLock guard(LockFor(m_path));
    std::vector<std::wstring> lines = ReadSectionLines(name, false);
    lines.push_back(line);
    return SetSectionLines(name, lines);
}
