#include "client/Thumbnail.h"

#include "tests/client/DownloadTestSupport.h"

#include <gtest/gtest.h>

namespace {

class ThumbnailTest : public client_testing::DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        FetchVideo(L"sm9", m_page, m_flvData);
        m_path = PathOf(L"sm9\\テスト動画 その1(sm9).jpg");
    }

    std::wstring m_page;
    std::wstring m_flvData;
    std::wstring m_path;
};

} // namespace

TEST_F(ThumbnailTest, AddressComesFromTheWatchPage) {
    EXPECT_EQ(GetThumbnailUrl(m_page), Url(L"thumb?i=1000000009"));
}

TEST_F(ThumbnailTest, FailedAttemptsAreRetried) {
    struct Case {
        const char* name;
        int failures;
        bool result;
    };
    const Case cases[] = {
        {"first try", 0, true},
        {"after one failure", 1, true},
        {"after three failures", 3, true},
        {"four failures", 4, false},
    };
    size_t requestsBefore = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(m_path.c_str());
        if (c.failures > 0) {
            SetMode(L"thumbnail", L"fail=1&times=" + std::to_wstring(c.failures));
        }
        EXPECT_EQ(DownloadThumbnail(Folder(), m_page, m_flvData, L"%thread%", 10), c.result);
        const size_t requests = CountRequests(L"/thumb");
        EXPECT_EQ(requests - requestsBefore, static_cast<size_t>(c.result ? c.failures + 1 : 4));
        requestsBefore = requests;
        const std::string bytes = ReadBytes(m_path);
        EXPECT_EQ(bytes.empty(), !c.result);
        if (c.result) {
            EXPECT_EQ(bytes.substr(0, 4), "\xff\xd8\xff\xe0");
        }
    }
    EXPECT_TRUE(LogHas(L"Error : DownloadThumbnail() HTTP 503"));
}

TEST_F(ThumbnailTest, ExistingFileCountsAsDone) {
    CreateDirectoryW(PathOf(L"sm9").c_str(), nullptr);
    WriteBytes(m_path, "earlier");
    SetMode(L"thumbnail", L"fail=1&times=10");
    EXPECT_TRUE(DownloadThumbnail(Folder(), m_page, m_flvData, L"%thread%", 10));
    EXPECT_EQ(ReadBytes(m_path), "earlier");
    EXPECT_EQ(CountRequests(L"/thumb"), 0u);
}
