#pragma once
// The one exception type that the program's engine and window code throws.

#include <cstdint>
#include <string>

namespace utl {
namespace exception {

class CException {
public:
    // text reads "Error : " message CRLF "Number : " number CRLF CRLF "File : " source CRLF "Line : " line.
    CException(const std::wstring& message, int32_t number, const std::wstring& sourcePath, int32_t line);

    std::wstring message;
    std::wstring text;
    int32_t number;
};

// ".\" followed by the source file's path relative to the project, without its extension, in
// backslash form: "engine/CDirectShow.cpp" gives ".\engine\CDirectShow".
std::wstring SourcePathOf(const char* file);

} // namespace exception
} // namespace utl

// Throws a CException for the current source position; number is the failing HRESULT or 0.
#define VELA_THROW(message, number)                                                                        \
    throw ::utl::exception::CException((message), static_cast<int32_t>(number),                           \
                                       ::utl::exception::SourcePathOf(__FILE__), __LINE__)
