#pragma once
// What the comment and video downloads report to their caller: progress in percent (0-100, the video
// download with the size text), and these negative codes. The download manager binds one to a row of
// its list.
//
// Thread use: called on the thread that runs the download.

class CGetVelaProcessCB {
public:
    enum Event {
        kFailed = -1,      // the work ended without a file
        kSkipped = -2,     // the video transfer was stopped or skipped
        kLogLine = -3,     // the text is a line for the log
        kFileWritten = -4, // the text is the path of the file written
        kNormalVideo = -5,
        kEconomyVideo = -6,
        kDeleted = -7, // the video has been deleted on the service
    };

    virtual void OnEvent(int code, const wchar_t* text) = 0;

protected:
    ~CGetVelaProcessCB() = default;
};
