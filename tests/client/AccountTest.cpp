#include "client/Account.h"
#include "client/FlvData.h"
#include "client/HttpAccess.h"

#include "foundation/Credential.h"
#include "foundation/MainWindowMessages.h"
#include "tests/client/ClientTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using testing_support::PumpMessagesUntil;

const wchar_t kMail[] = L"user@example.com";
const wchar_t kPassword[] = L"pass word&1";

// The main window as the client meets it: it answers the download block's account messages as the
// download window does (the password kept scrambled, as the settings keep it; the settings sheet's
// open state; the opening of the sheet) and appends the log lines of other threads.
class AccountWindow {
public:
    enum class OnOpen { kFillAccount, kLeaveEmpty };

    AccountWindow() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &AccountWindow::Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VelaAccountTestWindow";
        RegisterClassW(&windowClass);
        m_window = CreateWindowW(windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_savedMain = GetMainWindow();
        SetMainWindow(m_window);
    }
    ~AccountWindow() {
        SetMainWindow(m_savedMain);
        DestroyWindow(m_window);
    }

    HWND Handle() const { return m_window; }
    void SetAccount(const std::wstring& mail, const std::wstring& password) {
        m_mail = mail;
        m_scrambledPass = ScrambleCredential(password);
    }
    // The sheet stays open for the given time, then closes with the account filled in.
    void OpenSheetFor(UINT milliseconds) {
        m_sheetOpen = true;
        SetTimer(m_window, 1, milliseconds, nullptr);
    }

    OnOpen onOpen = OnOpen::kFillAccount;
    std::atomic<int> openRequests{0};
    std::atomic<int> openStateQuestions{0};

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<AccountWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case kMsgDownloadGetMail:
            return reinterpret_cast<LRESULT>(self->m_mail.c_str());
        case kMsgDownloadGetPass:
            self->m_plainPass = UnscrambleCredential(self->m_scrambledPass);
            return reinterpret_cast<LRESULT>(self->m_plainPass.c_str());
        case kMsgDownloadIsSettingsOpen:
            ++self->openStateQuestions;
            return self->m_sheetOpen ? 1 : 0;
        case kMsgDownloadOpenSettings:
            // The sheet is modal: the send returns once it has been closed.
            ++self->openRequests;
            if (self->onOpen == OnOpen::kFillAccount) {
                self->SetAccount(kMail, kPassword);
            }
            return 0;
        case kMsgLogLine:
            // A worker's log line reaches the log through the main window.
            DebugLog() << reinterpret_cast<const wchar_t*>(wParam) << EndLine;
            return 0;
        case WM_TIMER:
            KillTimer(window, wParam);
            self->SetAccount(kMail, kPassword);
            self->m_sheetOpen = false;
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    HWND m_window = nullptr;
    HWND m_savedMain = nullptr;
    std::wstring m_mail;
    std::wstring m_scrambledPass;
    std::wstring m_plainPass;
    bool m_sheetOpen = false;
};

class AccountTest : public client_testing::FakeServiceTest {
protected:
    // Runs on a worker thread, as the download items do, while this thread answers the main window's
    // messages.
    std::wstring FetchFlvDataOnWorker(const std::wstring& videoId) {
        std::wstring data;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            data = GetFlvDataFromHtml(videoId, m_accountWindow.Handle(), L"jp");
            done = true;
        });
        EXPECT_TRUE(PumpMessagesUntil([&] { return done.load(); }, 20000));
        worker.join();
        return data;
    }

    size_t CountRequests(const std::wstring& method, const std::wstring& path) const {
        size_t count = 0;
        for (const auto& request : m_fake.Requests()) {
            count += request.method == method && request.path == path ? 1 : 0;
        }
        return count;
    }

    AccountWindow m_accountWindow;
};

} // namespace

TEST_F(AccountTest, LoginKeepsTheSessionCookie) {
    EXPECT_TRUE(IsClosed(GetFlvData(L"sm9", L"jp", INTERNET_FLAG_RELOAD)));
    ASSERT_TRUE(Login(kMail, kPassword));
    EXPECT_TRUE(LogHas(L"ログイン中...\r\nログインに成功しました\r\n")) << LogText();

    const std::wstring data = GetFlvDataFromHtml(L"sm9", m_accountWindow.Handle(), L"jp");
    EXPECT_EQ(GetThreadId(data), L"1000000009");
    EXPECT_FALSE(LogHas(L"ログインしていません"));

    const auto requests = m_fake.Requests();
    ASSERT_GE(requests.size(), 4u);
    EXPECT_EQ(requests[1].method, L"POST");
    EXPECT_EQ(requests[1].path, L"/secure/login");
    // The redirect after the form and every later request carry the cookie WinInet keeps.
    EXPECT_EQ(requests[2].path, L"/");
    EXPECT_NE(requests[2].cookie.find(L"user_session="), std::wstring::npos);
    EXPECT_NE(requests.back().cookie.find(L"user_session="), std::wstring::npos);
}

TEST_F(AccountTest, RefusedLoginIsTriedOnce) {
    struct Case {
        const wchar_t* mode;
        const wchar_t* password;
    };
    // A wrong password; a right one that the service accepts but whose session is not kept.
    const Case cases[] = {{L"normal", L"wrong"}, {L"stale", kPassword}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        std::wstring reply;
        ASSERT_TRUE(GetURLDataUTF8(L"", Url(L"_fake/login-mode/") + c.mode, reply, INTERNET_FLAG_RELOAD));
        const size_t postsBefore = CountRequests(L"POST", L"/secure/login");

        EXPECT_FALSE(Login(kMail, c.password));
        m_accountWindow.SetAccount(kMail, c.password);
        EXPECT_EQ(FetchFlvDataOnWorker(L"sm9"), L"");
        EXPECT_EQ(CountRequests(L"POST", L"/secure/login"), postsBefore + 2);
        EXPECT_TRUE(LogHas(L"ログインしていません"));
        EXPECT_TRUE(LogHas(L"Error : Login()"));
        EXPECT_FALSE(LogHas(L"ログインに成功しました"));
    }
}

TEST_F(AccountTest, MissingAccountIsAskedFor) {
    enum class Start { kAccountSet, kSheetClosed, kSheetOpen };
    struct Case {
        const char* name;
        Start start;
        AccountWindow::OnOpen onOpen;
        size_t boxes;
        int openRequests;
        bool fetched;
    };
    const Case cases[] = {
        {"account set", Start::kAccountSet, AccountWindow::OnOpen::kFillAccount, 0, 0, true},
        {"filled in the settings", Start::kSheetClosed, AccountWindow::OnOpen::kFillAccount, 1, 1, true},
        {"left empty", Start::kSheetClosed, AccountWindow::OnOpen::kLeaveEmpty, 1, 1, false},
        {"sheet already open", Start::kSheetOpen, AccountWindow::OnOpen::kLeaveEmpty, 0, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        // A fresh fake per case: each starts logged out.
        testing_support::FakeService fake;
        GetAppSettings().ServiceBaseUrl = fake.BaseUrl();
        m_accountWindow.SetAccount(c.start == Start::kAccountSet ? kMail : L"",
                                   c.start == Start::kAccountSet ? kPassword : L"");
        m_accountWindow.onOpen = c.onOpen;
        m_accountWindow.openRequests = 0;
        m_accountWindow.openStateQuestions = 0;
        if (c.start == Start::kSheetOpen) {
            m_accountWindow.OpenSheetFor(1200);
        }
        testing_support::MessageBoxAnswerer answerer({IDOK});

        const std::wstring data = FetchFlvDataOnWorker(L"nm10");

        EXPECT_EQ(GetThreadId(data), c.fetched ? L"1000000010" : L"");
        EXPECT_TRUE(LogHas(L"ログインしていません"));
        EXPECT_EQ(LogHas(L"ログイン情報が入力されていません"), !c.fetched);
        EXPECT_EQ(m_accountWindow.openRequests, c.openRequests);
        const auto seen = answerer.Seen();
        ASSERT_EQ(seen.size(), c.boxes);
        for (const auto& box : seen) {
            EXPECT_EQ(box.caption, L"VelaPlayer");
            EXPECT_EQ(box.text, L"ログイン情報を入力して下さい。");
        }
        if (c.start == Start::kSheetOpen) {
            // Polled while the sheet stayed open, not answered at once.
            EXPECT_GE(m_accountWindow.openStateQuestions, 3);
        }
    }
}
