#include "client/CWinInetDownloader.h"

#include "foundation/StringUtil.h"
#include "tests/client/DownloadTestSupport.h"

#include <gtest/gtest.h>

namespace {

using utl::wininet::CWinInetDownloader;
using Result = CWinInetDownloader::Result;

const size_t kVideoSize = 1000003;
const DWORD kTimeoutMs = 10000;

class CWinInetDownloaderTest : public client_testing::DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        m_path = PathOf(L"video.flv");
    }

    Result Download(const std::wstring& address, DWORD timeoutMs = kTimeoutMs) {
        m_firstProgress = m_lastProgress = -1;
        CWinInetDownloader downloader;
        const Result result = downloader.Download(L"VelaClientTest/dl", Url(address), m_path, timeoutMs,
                                                  [this](unsigned long long received, unsigned long long total) {
                                                      if (m_firstProgress < 0) {
                                                          m_firstProgress = static_cast<long long>(received);
                                                      }
                                                      m_lastProgress = static_cast<long long>(received);
                                                      m_total = total;
                                                  });
        m_errorText = downloader.GetErrorText();
        return result;
    }
    std::string Partial() const { return ReadBytes(CWinInetDownloader::PartialPath(m_path)); }
    bool Exists(const std::wstring& path) const { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::wstring m_path;
    std::wstring m_errorText;
    long long m_firstProgress = -1;
    long long m_lastProgress = -1;
    unsigned long long m_total = 0;
};

const wchar_t kNormal[] = L"smile?v=sm9.0468";
const wchar_t kEconomy[] = L"smile?v=sm9.0468low";

} // namespace

TEST_F(CWinInetDownloaderTest, CutOffTransferResumesToTheExactFile) {
    SetMode(L"video", L"cut=300000");
    EXPECT_EQ(Download(kNormal), Result::CutOff) << m_errorText;
    EXPECT_FALSE(Exists(m_path));
    EXPECT_TRUE(Partial() == VideoBytes(300000));

    EXPECT_EQ(Download(kNormal), Result::Complete) << m_errorText;
    EXPECT_EQ(m_firstProgress, 300000) << "resumed, not started over";
    EXPECT_EQ(m_lastProgress, static_cast<long long>(kVideoSize));
    EXPECT_EQ(m_total, kVideoSize);
    EXPECT_TRUE(ReadBytes(m_path) == VideoBytes(kVideoSize));
    EXPECT_FALSE(Exists(CWinInetDownloader::PartialPath(m_path)));
    EXPECT_FALSE(Exists(CWinInetDownloader::AddressRecordPath(m_path)));
}

TEST_F(CWinInetDownloaderTest, FailuresNeverLeaveAWholeFile) {
    struct Case {
        const char* name;
        const wchar_t* mode; // of the first transfer
        const wchar_t* address;
        DWORD timeoutMs;
        Result result;
        size_t partialKept; // at most, bytes; 0 = no partial file
    };
    const Case cases[] = {
        {"cut off", L"cut=4096", kNormal, kTimeoutMs, Result::CutOff, 4096},
        // Wine reports the time-out with the socket's code, WinInet with its own: both count. The
        // read that was waiting loses its bytes, so the part holds fewer than came.
        {"stalled", L"stall=600000&stall_seconds=10", kNormal, 1000, Result::TimedOut, 600000},
        {"error status", L"status=503", kNormal, kTimeoutMs, Result::HttpError, 0},
        {"200 with Content-Length 0", L"empty=1", kNormal, kTimeoutMs, Result::EmptyReply, 0},
        {"unknown address", L"", L"smile?v=xx1.0468", kTimeoutMs, Result::HttpError, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(CWinInetDownloader::PartialPath(m_path).c_str());
        DeleteFileW(CWinInetDownloader::AddressRecordPath(m_path).c_str());
        if (*c.mode != L'\0') {
            SetMode(L"video", c.mode);
        }
        EXPECT_EQ(Download(c.address, c.timeoutMs), c.result) << m_errorText;
        EXPECT_FALSE(Exists(m_path));
        const std::string partial = Partial();
        EXPECT_LE(partial.size(), c.partialKept);
        EXPECT_TRUE(partial == VideoBytes(partial.size())) << "the part is the file's beginning";
        EXPECT_FALSE(m_errorText.empty());
    }
}

TEST_F(CWinInetDownloaderTest, ResumeThatCannotContinueStartsOverOrFails) {
    // The service ignores the range: the whole file comes again and replaces the partial one.
    SetMode(L"video", L"cut=5000");
    ASSERT_EQ(Download(kNormal), Result::CutOff);
    SetMode(L"video", L"no_range=1");
    EXPECT_EQ(Download(kNormal), Result::Complete) << m_errorText;
    EXPECT_EQ(m_firstProgress, 0);
    EXPECT_TRUE(ReadBytes(m_path) == VideoBytes(kVideoSize));
    DeleteFileW(m_path.c_str());

    // The partial file came from the normal version; the economy version's bytes must not follow it.
    SetMode(L"video", L"cut=5000");
    ASSERT_EQ(Download(kNormal), Result::CutOff);
    EXPECT_EQ(Download(kEconomy), Result::AddressChanged);
    EXPECT_FALSE(Exists(CWinInetDownloader::PartialPath(m_path)));
    EXPECT_FALSE(Exists(m_path));
    EXPECT_EQ(Download(kEconomy), Result::Complete) << m_errorText;
    EXPECT_TRUE(ReadBytes(m_path) == VideoBytes(kVideoSize, 97));
}

TEST_F(CWinInetDownloaderTest, RangeNotSatisfiableFinishesAWholePartOrDropsIt) {
    struct Case {
        const char* name;
        size_t partSize;
        const wchar_t* mode;
        Result result;
    };
    const Case cases[] = {
        // "bytes */1000003": the part is the whole file.
        {"part as long as the file", kVideoSize, L"", Result::Complete},
        {"part longer than the file", kVideoSize + 1, L"", Result::RangeRefused},
        // A 416 without Content-Range tells no total.
        {"no total", 5000, L"status=416", Result::RangeRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(m_path.c_str());
        WriteBytes(CWinInetDownloader::PartialPath(m_path), VideoBytes(c.partSize));
        WriteBytes(CWinInetDownloader::AddressRecordPath(m_path), WideToUtf8(Url(kNormal)));
        if (*c.mode != L'\0') {
            SetMode(L"video", c.mode);
        }
        const size_t requestsBefore = CountRequests(L"/smile");
        EXPECT_EQ(Download(kNormal), c.result) << m_errorText;
        EXPECT_EQ(CountRequests(L"/smile"), requestsBefore + 1) << "no second request";
        EXPECT_FALSE(Exists(CWinInetDownloader::PartialPath(m_path)));
        EXPECT_FALSE(Exists(CWinInetDownloader::AddressRecordPath(m_path)));
        if (c.result == Result::Complete) {
            EXPECT_TRUE(ReadBytes(m_path) == VideoBytes(kVideoSize));
            EXPECT_EQ(m_lastProgress, static_cast<long long>(kVideoSize));
            EXPECT_EQ(m_total, kVideoSize);
        } else {
            EXPECT_FALSE(Exists(m_path));
        }
    }
}

TEST_F(CWinInetDownloaderTest, TimeOutBoundsEachWaitNotTheWholeTransfer) {
    // About 1.2 s in all, 100 ms between pieces.
    SetMode(L"video", L"piece=90000&delay_ms=100");
    EXPECT_EQ(Download(kNormal, 700), Result::Complete) << m_errorText;
    EXPECT_TRUE(ReadBytes(m_path) == VideoBytes(kVideoSize));
}

TEST_F(CWinInetDownloaderTest, FailedRenameIsAFailureThatTheNextCallFinishes) {
    // A folder stands where the finished file must go.
    ASSERT_TRUE(CreateDirectoryW(m_path.c_str(), nullptr));
    EXPECT_EQ(Download(kNormal), Result::WriteFailed);
    EXPECT_TRUE(Partial() == VideoBytes(kVideoSize)) << "kept for another try";

    // Once the way is free the next call renames the part on the service's 416, without the file again.
    ASSERT_TRUE(RemoveDirectoryW(m_path.c_str()));
    EXPECT_EQ(Download(kNormal), Result::Complete) << m_errorText;
    EXPECT_EQ(m_firstProgress, static_cast<long long>(kVideoSize));
    EXPECT_TRUE(ReadBytes(m_path) == VideoBytes(kVideoSize));
    EXPECT_FALSE(Exists(CWinInetDownloader::PartialPath(m_path)));
    EXPECT_EQ(CountRequests(L"/smile"), 2u);
}
