#include "client/StringBetween.h"

std::wstring GetStringBetween(const std::wstring& text, const std::wstring& startMarker,
                              const std::wstring& endMarker) {
    const std::wstring::size_type start = text.find(startMarker);
    if (start == std::wstring::npos) {
        return std::wstring();
    }
    const std::wstring::size_type from = start + startMarker.size();
    const std::wstring::size_type end = text.find(endMarker, from);
    if (end == std::wstring::npos) {
        return std::wstring();
    }
    return text.substr(from, end - from);
}
