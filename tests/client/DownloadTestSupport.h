#pragma once
// Fixture of the download tests: a fresh folder, a fake of the service that every address points at,
// the settings and file-name templates restored after each test, and a recorder of callback events.

#include "client/CGetVelaProcessCB.h"
#include "client/DownloadFileNameFormats.h"
#include "client/FlvData.h"
#include "client/HttpAccess.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "tests/fakeservice/FakeService.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace client_testing {

class DownloadTest : public testing_support::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_savedSettings = GetAppSettings();
        m_savedFormats = GetDownloadFileNameFormats();
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        ASSERT_TRUE(m_fake.IsRunning());
        GetAppSettings().ServiceBaseUrl = m_fake.BaseUrl();
    }
    void TearDown() override {
        // The login's cookie would reach the next test's fake, which listens on the same host.
        InternetSetCookieW(Url(L"").c_str(), nullptr, L"user_session=; expires=Sat, 01-Jan-2000 00:00:00 GMT");
        GetAppSettings() = m_savedSettings;
        SetDownloadFileNameFormats(m_savedFormats);
        TempFolderTest::TearDown();
    }

    std::wstring Url(const std::wstring& path) const { return m_fake.BaseUrl() + path; }
    // The next replies of a kind behave as the query says (see set_mode in the fake).
    void SetMode(const std::wstring& kind, const std::wstring& query) {
        std::wstring reply;
        ASSERT_TRUE(GetURLData(reply, Url(L"_fake/" + kind + L"-mode?" + query))) << query;
    }
    // Logs in and reads the video's watch page and API data.
    void FetchVideo(const std::wstring& videoId, std::wstring& page, std::wstring& flvData) {
        std::wstring reply;
        ASSERT_TRUE(GetURLData(reply, Url(L"secure/login")));
        ASSERT_TRUE(OpenUrlChecked(page, Url(L"watch/" + videoId)));
        flvData = GetFlvData(videoId, L"jp", INTERNET_FLAG_RELOAD);
        ASSERT_FALSE(flvData.empty());
    }
    // The requests whose path begins with prefix.
    size_t CountRequests(const std::wstring& prefix) const {
        size_t count = 0;
        for (const auto& request : m_fake.Requests()) {
            count += request.path.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
        }
        return count;
    }

    static std::wstring LogText() { return testing_support::WindowText(DebugLog().GetEditControl()); }
    static bool LogHas(const std::wstring& text) { return LogText().find(text) != std::wstring::npos; }

    // What the fake serves: byte i is (i + seed) % 251; the economy version has the seed 97.
    static std::string VideoBytes(size_t size, int seed = 0) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>((i + seed) % 251);
        }
        return bytes;
    }

    testing_support::FakeService m_fake;

private:
    AppSettings m_savedSettings;
    DownloadFileNameFormats m_savedFormats;
};

class EventRecorder : public CGetVelaProcessCB {
public:
    void OnEvent(int code, const wchar_t* text) override { events.emplace_back(code, text); }

    // The codes in order, a run of progress events (0 and above, with a size text) shown as one "P".
    std::wstring Codes() const {
        std::wstring out;
        for (size_t i = 0; i < events.size(); ++i) {
            const bool progress = events[i].first >= 0 && !events[i].second.empty();
            if (progress && i > 0 && events[i - 1].first >= 0 && !events[i - 1].second.empty()) {
                continue;
            }
            out += (out.empty() ? L"" : L" ") + (progress ? L"P" : std::to_wstring(events[i].first));
        }
        return out;
    }
    std::wstring TextOf(int code) const {
        for (const auto& event : events) {
            if (event.first == code) {
                return event.second;
            }
        }
        return L"(none)";
    }

    std::vector<std::pair<int, std::wstring>> events;
};

} // namespace client_testing
