#include "CWndMain/UpdateException.h"

#include "CWndMain/UpdaterUtil.h"
#include "foundation/CBaseDebug.h"
#include "foundation/PathUtil.h"

namespace utl {
namespace exception {

Exception::Exception(const std::wstring& message) {
    SetInfo(message, "", -1, kInformationCode);
    m_information = true;
    m_text = ToNarrowString(L"Exception : " + message + L"(-1)");
}

Exception::Exception(const std::wstring& message, const char* sourcePath, int32_t line) {
    SetInfo(message, sourcePath, line, kErrorCode);
    m_text = ToNarrowString(L"Exception : " + message + L"\r\nFile : " + m_file + L"(" + std::to_wstring(line) + L")");
}

Exception::Exception(const std::wstring& message, int32_t code, const char* sourcePath, int32_t line) {
    SetInfo(message, sourcePath, line, code);
    m_text = ToNarrowString(L"Exception : " + message + L"(" + std::to_wstring(code) + L")\r\nFile : " + m_file +
                            L"(" + std::to_wstring(line) + L")");
}

void Exception::SetInfo(const std::wstring& message, const char* sourcePath, int32_t line, int32_t code) {
    m_message = message;
    std::wstring path = ToWideString(std::string(sourcePath != nullptr ? sourcePath : ""));
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    m_file = GetFileName(path);
    m_line = line;
    m_code = code;
}

} // namespace exception
} // namespace utl

std::wstring GetExceptionText(const std::exception& error) {
    return ToWideString(std::string(error.what()));
}

std::wstring GetExceptionMessage(const std::exception& error) {
    if (const auto* own = dynamic_cast<const utl::exception::Exception*>(&error)) {
        return own->Message();
    }
    return GetExceptionText(error);
}

void LogRunOutcome(const std::exception& error) {
    const auto* own = dynamic_cast<const utl::exception::Exception*>(&error);
    if (own != nullptr && own->IsInformation()) {
        DebugLog() << L"■情報 : " << GetExceptionMessage(error) << EndLine;
        return;
    }
    DebugLog() << L"◆エラーが発生しました" << EndLine;
    DebugLog() << GetExceptionText(error) << EndLine;
}
