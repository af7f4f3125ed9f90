#pragma once
// The benchmarks' baseline: the Linux curl (VELA_CURL, defined by the benchmark's target) started
// through Wine with a verbose, time-stamped trace written to a file, since Wine can neither wait for
// a Linux program nor read its output. The time curl took is read back from the trace's stamps.

#include "foundation/Handles.h"
#include "foundation/StringUtil.h"
#include "tests/support/BenchClock.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace testing_support {

// The line of curl's trace that ends a transfer's connection.
inline const std::string& CurlClosingLine() {
    static const std::string text = "Closing connection";
    return text;
}

// Starts curl with the arguments (none may hold a blank: Wine hands them over as they are) and
// "-s -v --trace-time --stderr <traceStem>.txt" before them; false, and said so, when it cannot.
inline bool StartCurl(const std::string& traceStem, const std::wstring& arguments) {
    std::wstring program = L"Z:" + Utf8ToWide(VELA_CURL);
    std::replace(program.begin(), program.end(), L'/', L'\\');
    std::wstring commandLine =
        program + L" -s -v --trace-time --stderr " + Utf8ToWide(traceStem) + L".txt " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("cannot start curl, error %lu\n", GetLastError());
        return false;
    }
    CKernelHandle(process.hThread).Close();
    CKernelHandle(process.hProcess).Close();
    return true;
}

inline std::string ReadWholeFile(const std::wstring& path) {
    const CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    std::string text;
    char buffer[65536];
    DWORD read = 0;
    while (file && ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    return text;
}

inline size_t CountOf(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// The trace of the curl started with traceStem once it has closed that many connections (or after two
// minutes, then as far as it got); the trace file is deleted.
inline std::string WaitForCurlTrace(const std::string& traceStem, size_t connections) {
    const std::wstring path = L"Z:" + Utf8ToWide(traceStem) + L".txt";
    std::string trace;
    for (const double deadline = Seconds() + 120; Seconds() < deadline; Sleep(20)) {
        trace = ReadWholeFile(path);
        if (CountOf(trace, CurlClosingLine()) >= connections) {
            break;
        }
    }
    Sleep(100);
    DeleteFileW(path.c_str());
    return trace;
}

// Seconds of a "HH:MM:SS.ffffff" time stamp at the start of a line of curl's trace; negative when none.
inline double CurlTraceSeconds(const std::string& line) {
    int hours = 0;
    int minutes = 0;
    double seconds = 0;
    if (std::sscanf(line.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds) != 3) {
        return -1;
    }
    return hours * 3600.0 + minutes * 60.0 + seconds;
}

// Seconds from the trace's first line to the line that closed its last connection; negative when the
// trace has no such stamps.
inline double CurlTraceSpan(const std::string& trace) {
    const size_t lastClosing = trace.rfind(CurlClosingLine());
    if (lastClosing == std::string::npos) {
        return -1;
    }
    const size_t lineStart = trace.rfind('\n', lastClosing);
    const double start = CurlTraceSeconds(trace);
    double end = CurlTraceSeconds(trace.substr(lineStart == std::string::npos ? 0 : lineStart + 1));
    if (start < 0 || end < 0) {
        return -1;
    }
    if (end < start) {
        end += 24 * 3600; // past midnight
    }
    return end > start ? end - start : -1;
}

} // namespace testing_support
