#include "foundation/Exception.h"


namespace utl {
namespace exception {

CException::CException(const std::wstring& message, int32_t number, const std::wstring& sourcePath, int32_t line)
    : message(message), number(number) {
    text = L"Error : " + message + L"\r\n" + L"Number : " + std::to_wstring(number) + L"\r\n\r\n" + L"File : " +
           sourcePath + L"\r\n" + L"Line : " + std::to_wstring(line);
}

std::wstring SourcePathOf(const char* file) {
    std::string path = file != nullptr ? file : "";
    // The build maps the source folder away (-fmacro-prefix-map), so file is already relative.
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of("/\\");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        path.erase(dot);
    }
    std::wstring wide = L".\\";
    for (char c : path) {
        wide += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return wide;
}

} // namespace exception
} // namespace utl
