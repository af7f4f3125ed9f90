#pragma once
// The callbacks through which the client's comment and video downloads report into one download row:
// progress, the file written, the video's quality and deletion, log lines. Each is bound to a worker
// record, so that it follows its row as rows move, and writes nothing once the record has left it.
// Each event is also where a transfer pauses (the callback waits while the record is paused) and
// where it stops: a cancelled record makes the callback throw DownloadItemEnded, which unwinds the
// download, closing its file and its connection, up to the worker.
//
// A video's progress reaches its row at most every 200 ms (and always at its first report and at
// 100%): a transfer reports each percent, and writing every one through the list's thread slowed a
// fast transfer to half its speed.
//
// Thread use: the worker's thread, inside the client's call.

#include "client/CGetVelaProcessCB.h"

#include <windows.h>

#include <cstddef>

class CGetVelaXmlCB final : public CGetVelaProcessCB {
public:
    CGetVelaXmlCB(HWND list, size_t recordIndex) : m_list(list), m_recordIndex(recordIndex) {}
    void OnEvent(int code, const wchar_t* text) override;

private:
    HWND m_list;
    size_t m_recordIndex;
};

class CGetVelaFlvCB final : public CGetVelaProcessCB {
public:
    CGetVelaFlvCB(HWND list, size_t recordIndex) : m_list(list), m_recordIndex(recordIndex) {}
    void OnEvent(int code, const wchar_t* text) override;

private:
    HWND m_list;
    size_t m_recordIndex;
    bool m_progressShown = false;
    ULONGLONG m_progressShownAt = 0;
};
