#include "foundation/CWndBase.h"

#include "foundation/Exception.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Handles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

const UINT kPing = WM_APP + 1;
const LRESULT kPong = 1234;
const wchar_t kPropName[] = L"CWndBaseProp";

// Records what it sees and answers kPing; for a dialog the answer goes through DWLP_MSGRESULT.
class RecordingWnd : public CWndBase {
public:
    std::vector<UINT> seen;
    bool attachedWhenDestroyed = false;
    bool attachedWhenInitialised = false;
    bool refuseCreate = false;

    int Count(UINT message) const { return static_cast<int>(std::count(seen.begin(), seen.end(), message)); }

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        switch (message) {
        case WM_CREATE:
            if (refuseCreate) {
                return -1;
            }
            break;
        case WM_INITDIALOG:
            attachedWhenInitialised = FromWindow(window) == this && GetWindowHandle() == window;
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            return TRUE;
        case WM_COMMAND:
            if (IsDialog() && LOWORD(wParam) == IDOK) {
                // Ends a modal dialog; a modeless one stays for the test to inspect.
                EndDialog(window, 42);
                return TRUE;
            }
            break;
        case WM_DESTROY:
            attachedWhenDestroyed = FromWindow(window) == this && GetWindowHandle() == window;
            break;
        case kPing:
            if (IsDialog()) {
                SetWindowLongPtrW(window, DWLP_MSGRESULT, kPong);
                return TRUE;
            }
            return kPong;
        }
        return DefaultProc(window, message, wParam, lParam);
    }
};

// Throws at kPing with a non-zero wParam: 1 a std::runtime_error, 2 its CException, 3 an int.
class ThrowingWnd : public RecordingWnd {
public:
    const utl::exception::CException error{L"thrown in a procedure", 5, L".\\tests\\foundation\\CWndBaseTest", 12};

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kPing) {
            switch (wParam) {
            case 1:
                throw std::runtime_error("the procedure failed");
            case 2:
                throw error;
            case 3:
                throw 3;
            }
        }
        return RecordingWnd::WndProc(window, message, wParam, lParam);
    }
};

const wchar_t kWindowClass[] = L"CWndBaseTestWindow";
const wchar_t kDialogClass[] = L"CWndBaseTestDialog";

void RegisterClasses() {
    static bool registered = false;
    if (registered) {
        return;
    }
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &CWndBase::StaticWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    ASSERT_NE(RegisterClassExW(&wc), 0);
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.lpszClassName = kDialogClass;
    ASSERT_NE(RegisterClassExW(&wc), 0);
    registered = true;
}

HWND CreateOwnWindow(CWndBase* object) {
    return CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, GetModuleHandleW(nullptr),
                           object);
}

void PushDword(std::vector<WORD>& words, DWORD value) {
    words.push_back(LOWORD(value));
    words.push_back(HIWORD(value));
}

void PushText(std::vector<WORD>& words, const wchar_t* text) {
    for (; *text != L'\0'; ++text) {
        words.push_back(*text);
    }
    words.push_back(0);
}

// A dialog with one default push button IDOK, of the standard class or of className.
std::vector<WORD> MakeDialogTemplate(const wchar_t* className) {
    std::vector<WORD> words;
    PushDword(words, WS_POPUP | WS_CAPTION | DS_MODALFRAME);
    PushDword(words, 0);
    words.insert(words.end(), {1, 10, 10, 100, 60});
    words.push_back(0); // no menu
    if (className != nullptr) {
        PushText(words, className);
    } else {
        words.push_back(0);
    }
    PushText(words, L"ダイアログ");
    if (words.size() % 2 != 0) {
        words.push_back(0);
    }
    PushDword(words, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON);
    PushDword(words, 0);
    words.insert(words.end(), {10, 10, 40, 14, IDOK, 0xFFFF, 0x0080});
    PushText(words, L"OK");
    words.push_back(0); // no creation data
    return words;
}

// The object's own window, or a modeless dialog of the standard class that reaches it.
HWND CreateWindowOrDialog(CWndBase* object, bool dialog) {
    if (!dialog) {
        return CreateOwnWindow(object);
    }
    const std::vector<WORD> dialogTemplate = MakeDialogTemplate(nullptr);
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                      reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()), nullptr,
                                      &CWndBase::StaticDlgProc, reinterpret_cast<LPARAM>(object));
}

HWND CreateEdit(HWND parent) {
    return CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// A foreign subclass, as another library would install above ours.
WNDPROC g_belowForeign = nullptr;
int g_foreignSetTexts = 0;
LRESULT CALLBACK ForeignSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) {
        ++g_foreignSetTexts;
    }
    return CallWindowProcW(g_belowForeign, window, message, wParam, lParam);
}

} // namespace

TEST(CWndBaseTest, OwnWindowReachesItsObjectFromCreationToDestroy) {
    RegisterClasses();
    RecordingWnd object;
    const HWND window = CreateOwnWindow(&object);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(object.GetWindowHandle(), window);
    EXPECT_FALSE(object.IsDialog());
    EXPECT_EQ(GetPropW(window, kPropName), &object);
    EXPECT_EQ(object.Count(WM_NCCREATE), 1);
    EXPECT_EQ(object.Count(WM_CREATE), 1);
    EXPECT_EQ(SendMessageW(window, kPing, 0, 0), kPong);
    // Default handling reaches DefWindowProcW.
    SetWindowTextW(window, L"動画");
    EXPECT_EQ(testing_support::WindowText(window), L"動画");

    DestroyWindow(window);
    EXPECT_EQ(object.Count(WM_DESTROY), 1);
    EXPECT_TRUE(object.attachedWhenDestroyed);
    EXPECT_EQ(object.GetWindowHandle(), nullptr);
}

TEST(CWndBaseTest, CreationRefusedByTheObjectLeavesItDetached) {
    RegisterClasses();
    RecordingWnd object;
    object.refuseCreate = true;
    EXPECT_EQ(CreateOwnWindow(&object), nullptr);
    EXPECT_EQ(object.GetWindowHandle(), nullptr);
    EXPECT_EQ(CWndBase::FromWindow(nullptr), nullptr);
}

TEST(CWndBaseTest, OwnWindowOutlivingItsObjectFallsBackToDefaultHandling) {
    RegisterClasses();
    auto object = std::make_unique<RecordingWnd>();
    CWindowHandle window(CreateOwnWindow(object.get()));
    ASSERT_NE(window.Get(), nullptr);
    object.reset();
    EXPECT_EQ(GetPropW(window.Get(), kPropName), nullptr);
    EXPECT_EQ(SendMessageW(window.Get(), kPing, 0, 0), 0);
    SetWindowTextW(window.Get(), L"x");
    EXPECT_EQ(testing_support::WindowText(window.Get()), L"x");
}

TEST(CWndBaseTest, SubclassedControlGetsItsProcedureBackHoweverTheObjectLetsGo) {
    enum class Release { Detach, DeleteObject, DestroyControl };
    const Release releases[] = {Release::Detach, Release::DeleteObject, Release::DestroyControl};
    CWindowHandle parent(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr));
    for (const Release release : releases) {
        SCOPED_TRACE(static_cast<int>(release));
        const HWND edit = CreateEdit(parent.Get());
        const LONG_PTR original = GetWindowLongPtrW(edit, GWLP_WNDPROC);
        auto object = std::make_unique<RecordingWnd>();
        ASSERT_TRUE(CWndBase::Attach(edit, object.get()));
        EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&CWndBase::StaticWndProc));
        EXPECT_EQ(GetPropW(edit, kPropName), object.get());
        // The object sees the message and the control still does its own work.
        SetWindowTextW(edit, L"コメント");
        EXPECT_EQ(object->Count(WM_SETTEXT), 1);
        EXPECT_EQ(testing_support::WindowText(edit), L"コメント");

        switch (release) {
        case Release::Detach:
            object->Detach();
            break;
        case Release::DeleteObject:
            object.reset();
            break;
        case Release::DestroyControl:
            DestroyWindow(edit);
            EXPECT_EQ(object->Count(WM_DESTROY), 1);
            EXPECT_TRUE(object->attachedWhenDestroyed);
            EXPECT_EQ(object->GetWindowHandle(), nullptr);
            continue;
        }
        EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), original);
        EXPECT_EQ(GetPropW(edit, kPropName), nullptr);
        SetWindowTextW(edit, L"次");
        EXPECT_EQ(testing_support::WindowText(edit), L"次");
        if (object) {
            EXPECT_EQ(object->Count(WM_SETTEXT), 1);
        }
        DestroyWindow(edit);
    }
}

TEST(CWndBaseTest, AttachRefusesASecondObjectAndAnAttachedObject) {
    CWindowHandle parent(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr));
    const HWND first = CreateEdit(parent.Get());
    const HWND second = CreateEdit(parent.Get());
    RecordingWnd a;
    RecordingWnd b;
    ASSERT_TRUE(CWndBase::Attach(first, &a));
    EXPECT_FALSE(CWndBase::Attach(first, &b));
    EXPECT_FALSE(CWndBase::Attach(second, &a));
    EXPECT_FALSE(CWndBase::Attach(nullptr, &b));
    EXPECT_EQ(CWndBase::FromWindow(first), &a);
    EXPECT_EQ(CWndBase::FromWindow(second), nullptr);
    SetWindowTextW(first, L"x");
    EXPECT_EQ(a.Count(WM_SETTEXT), 1);
    EXPECT_EQ(b.Count(WM_SETTEXT), 0);
}

TEST(CWndBaseTest, ALookupKeptByAnotherThreadFollowsTheObjectsComingAndGoing) {
    CWindowHandle parent(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr));
    const HWND edit = CreateEdit(parent.Get());
    RecordingWnd first;
    RecordingWnd second;
    ASSERT_TRUE(CWndBase::Attach(edit, &first));
    const CEventHandle looked(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    const CEventHandle lookAgain(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    std::vector<CWndBase*> seen;
    CWorkerThread looker = StartWorker(WorkerOptions{L"CWndBaseTest"}, [&] {
        for (int i = 0; i < 3; ++i) {
            seen.push_back(CWndBase::FromWindow(edit));
            SetEvent(looked.Get());
            WaitForSingleObject(lookAgain.Get(), 5000);
        }
    });
    ASSERT_EQ(WaitForSingleObject(looked.Get(), 5000), WAIT_OBJECT_0);
    first.Detach();
    ASSERT_TRUE(CWndBase::Attach(edit, &second));
    SetEvent(lookAgain.Get());
    ASSERT_EQ(WaitForSingleObject(looked.Get(), 5000), WAIT_OBJECT_0);
    second.Detach();
    SetEvent(lookAgain.Get());
    ASSERT_EQ(WaitForSingleObject(looked.Get(), 5000), WAIT_OBJECT_0);
    SetEvent(lookAgain.Get());
    EXPECT_TRUE(looker.Wait(5000));
    EXPECT_EQ(seen, (std::vector<CWndBase*>{&first, &second, nullptr}));
    DestroyWindow(edit);
}

TEST(CWndBaseTest, ObjectLeavingFromBelowAForeignSubclassKeepsTheChainWorking) {
    CWindowHandle parent(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr));
    const HWND edit = CreateEdit(parent.Get());
    auto first = std::make_unique<RecordingWnd>();
    ASSERT_TRUE(CWndBase::Attach(edit, first.get()));
    g_foreignSetTexts = 0;
    g_belowForeign =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignSubclass)));

    first.reset();
    EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ForeignSubclass));
    SetWindowTextW(edit, L"一");
    EXPECT_EQ(testing_support::WindowText(edit), L"一");
    EXPECT_EQ(g_foreignSetTexts, 1);

    // A new object sees each message once, not once per copy of our procedure in the chain.
    RecordingWnd second;
    ASSERT_TRUE(CWndBase::Attach(edit, &second));
    SetWindowTextW(edit, L"二");
    EXPECT_EQ(second.Count(WM_SETTEXT), 1);
    EXPECT_EQ(testing_support::WindowText(edit), L"二");
    DestroyWindow(edit);
    EXPECT_EQ(second.GetWindowHandle(), nullptr);
}

TEST(CWndBaseTest, ModelessDialogFromMemoryReachesItsObjectAtInitDialog) {
    RegisterClasses();
    struct Case {
        const char* name;
        const wchar_t* className;
        DLGPROC dialogProc;
    };
    // Either entry given as the dialog procedure must work: StaticWndProc there would otherwise loop
    // through DefDlgProcW for ever.
    const Case cases[] = {
        {"standard class", nullptr, &CWndBase::StaticDlgProc},
        {"private class", kDialogClass, &CWndBase::StaticDlgProc},
        {"private class, window procedure as dialog procedure", kDialogClass,
         reinterpret_cast<DLGPROC>(&CWndBase::StaticWndProc)},
        {"standard class, window procedure as dialog procedure", nullptr,
         reinterpret_cast<DLGPROC>(&CWndBase::StaticWndProc)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<WORD> dialogTemplate = MakeDialogTemplate(c.className);
        RecordingWnd object;
        const HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                                       reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                                       nullptr, c.dialogProc, reinterpret_cast<LPARAM>(&object));
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(object.Count(WM_INITDIALOG), 1);
        EXPECT_TRUE(object.attachedWhenInitialised);
        EXPECT_TRUE(object.IsDialog());
        // The dialog's creation parameter is not taken for an object.
        EXPECT_EQ(object.Count(WM_NCCREATE), 0);

        EXPECT_EQ(SendMessageW(dialog, kPing, 0, 0), kPong);
        EXPECT_EQ(object.Count(kPing), 1);
        // Unhandled messages still get the dialog manager's handling.
        EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
        EXPECT_TRUE(testing_support::PumpMessagesUntil([&] { return object.Count(WM_COMMAND) > 0; }));
        EXPECT_TRUE(IsWindow(dialog));

        DestroyWindow(dialog);
        EXPECT_TRUE(object.attachedWhenDestroyed);
        EXPECT_EQ(object.GetWindowHandle(), nullptr);
    }
}

TEST(CWndBaseTest, ModalDialogFromMemoryEndsWithTheObjectsResult) {
    const std::vector<WORD> dialogTemplate = MakeDialogTemplate(nullptr);
    RecordingWnd object;
    const INT_PTR result =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                nullptr, &CWndBase::StaticDlgProc, reinterpret_cast<LPARAM>(&object));
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(object.attachedWhenInitialised);
    EXPECT_TRUE(object.attachedWhenDestroyed);
    EXPECT_EQ(object.GetWindowHandle(), nullptr);
}

TEST(CWndBaseTest, ExceptionInsideAProcedureIsLoggedAndTheWindowGoesOn) {
    RegisterClasses();
    struct Case {
        bool dialog;
        WPARAM throwKind;
        const wchar_t* logged;
    };
    const Case cases[] = {
        {false, 1, L"Error : CWndBaseTestWindow : the procedure failed\r\n"},
        {false, 3, L"Error : CWndBaseTestWindow : unknown exception\r\n"},
        {true, 1, L"Error : #32770 : the procedure failed\r\n"},
        {true, 3, L"Error : #32770 : unknown exception\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.dialog ? "dialog" : "window") << ", kind " << c.throwKind);
        testing_support::ClearLog();
        ThrowingWnd object;
        CWindowHandle window(CreateWindowOrDialog(&object, c.dialog));
        ASSERT_NE(window.Get(), nullptr);
        EXPECT_EQ(SendMessageW(window.Get(), kPing, c.throwKind, 0), 0) << "counts as handled";
        EXPECT_EQ(testing_support::LogText(), c.logged);
        EXPECT_EQ(SendMessageW(window.Get(), kPing, 0, 0), kPong);
    }
}

TEST(CWndBaseTest, CExceptionInsideAProcedureShowsItsBox) {
    RegisterClasses();
    for (const bool dialog : {false, true}) {
        SCOPED_TRACE(dialog ? "dialog" : "window");
        ThrowingWnd object;
        CWindowHandle window(CreateWindowOrDialog(&object, dialog));
        ASSERT_NE(window.Get(), nullptr);
        testing_support::MessageBoxAnswerer answerer({IDOK});
        EXPECT_EQ(SendMessageW(window.Get(), kPing, 2, 0), 0);
        ASSERT_TRUE(answerer.WaitForCount(1));
        const testing_support::SeenMessageBox seen = answerer.Seen().front();
        EXPECT_EQ(seen.caption, L"CException");
        EXPECT_EQ(seen.text, object.error.text);
        EXPECT_EQ(SendMessageW(window.Get(), kPing, 0, 0), kPong);
    }
}
