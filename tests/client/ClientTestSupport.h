#pragma once
// Fixtures of the client tests: the settings restored after each test, the log's text, and a fake
// of the service that every service address points at.

#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "tests/fakeservice/FakeService.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace client_testing {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = GetAppSettings();
        SetWindowTextW(DebugLog().GetEditControl(), L"");
    }
    void TearDown() override { GetAppSettings() = m_saved; }

    static std::wstring LogText() { return testing_support::WindowText(DebugLog().GetEditControl()); }
    static bool LogHas(const std::wstring& line) { return LogText().find(line) != std::wstring::npos; }

private:
    AppSettings m_saved;
};

class FakeServiceTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        ASSERT_TRUE(m_fake.IsRunning());
        GetAppSettings().ServiceBaseUrl = m_fake.BaseUrl();
    }

    std::wstring Url(const std::wstring& path) const { return m_fake.BaseUrl() + path; }

    testing_support::FakeService m_fake;
};

} // namespace client_testing
