#pragma once
// The one exception type of the update run: errors (with their source position, and the result
// code of an outside library where there is one) and information that ends a run early. Also the
// rules by which a caught exception becomes the run's last log lines.
//
// Thread use: any thread; the objects are values.

#include <cstdint>
#include <exception>
#include <string>

namespace utl {
namespace exception {

class Exception : public std::exception {
public:
    static constexpr int32_t kInformationCode = -1;
    static constexpr int32_t kErrorCode = static_cast<int32_t>(0x80000001u);
    // Information: ends the run with its message, never shown as an error.
    explicit Exception(const std::wstring& message);
    // An error raised at sourcePath (__FILE__) and line.
    Exception(const std::wstring& message, const char* sourcePath, int32_t line);
    // An error that carries an outside library's result code.
    Exception(const std::wstring& message, int32_t code, const char* sourcePath, int32_t line);
    const char* what() const noexcept override { return m_text.c_str(); }
    const std::wstring& Message() const { return m_message; }
    const std::wstring& File() const { return m_file; }
    int32_t Line() const { return m_line; }
    int32_t Code() const { return m_code; }
    // Kept as its own flag: a library may well return -1 as its code, which must stay an error.
    bool IsInformation() const { return m_information; }

private:
    void SetInfo(const std::wstring& message, const char* sourcePath, int32_t line, int32_t code);
    std::string m_text; // ANSI code page
    std::wstring m_message;
    std::wstring m_file;
    int32_t m_line = -1;
    int32_t m_code = kErrorCode;
    bool m_information = false;
};

} // namespace exception
} // namespace utl

// Raises the error form with the current source position.
#define UPDATE_ERROR(message) ::utl::exception::Exception((message), __FILE__, __LINE__)
#define UPDATE_ERROR_CODE(message, code) ::utl::exception::Exception((message), (code), __FILE__, __LINE__)

std::wstring GetExceptionText(const std::exception& error);
// The message of one of ours, else the text.
std::wstring GetExceptionMessage(const std::exception& error);
// The run's last log line(s) for a caught exception: "■情報 : " and the message for information,
// else "◆エラーが発生しました" and the text.
void LogRunOutcome(const std::exception& error);
