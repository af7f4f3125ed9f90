#include "foundation/CWndBase.h"

#include "foundation/CBaseDebug.h"
#include "foundation/Exception.h"
#include "foundation/StringUtil.h"

#include <atomic>
#include <exception>
#include <string>

namespace {

const wchar_t kObjectProp[] = L"CWndBaseProp";
// Left on a window whose object went away while another subclass sat above ours: StaticWndProc
// stays in the chain and passes messages on to this procedure.
const wchar_t kOrphanProcProp[] = L"CWndBasePrevProc";
const ULONG_PTR kDialogClassAtom = 0x8002;

// Under Wine a window property is read through the server (some 35 µs), which every message of every
// window of ours would pay: each thread keeps its last few lookups. Every attach and detach, anywhere,
// counts up the generation, which makes all kept lookups stale; it counts after the property changed,
// so a lookup taken meanwhile is stale too.
std::atomic<unsigned> g_objectGeneration{1};
struct KeptObject {
    HWND window = nullptr;
    CWndBase* object = nullptr;
    unsigned generation = 0;
};
constexpr size_t kKeptObjects = 4;
thread_local KeptObject t_keptObjects[kKeptObjects];
thread_local size_t t_nextKept = 0;

// The standard dialog class, or a private dialog class of ours.
bool IsDialogWindow(HWND window) {
    if (GetClassLongPtrW(window, GCW_ATOM) == kDialogClassAtom) {
        return true;
    }
    return GetClassLongPtrW(window, GCL_CBWNDEXTRA) >= DLGWINDOWEXTRA &&
           reinterpret_cast<WNDPROC>(GetClassLongPtrW(window, GCLP_WNDPROC)) == &CWndBase::StaticWndProc;
}

WNDPROC CurrentWndProc(HWND window) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
}

DLGPROC CurrentDlgProc(HWND window) {
    return reinterpret_cast<DLGPROC>(GetWindowLongPtrW(window, DWLP_DLGPROC));
}

// A dialog made with StaticWndProc as its dialog procedure would have DefDlgProcW call StaticWndProc
// again without end; it gets the dialog procedure it needs.
void RedirectDialogProc(HWND window) {
    if (CurrentDlgProc(window) == reinterpret_cast<DLGPROC>(&CWndBase::StaticWndProc)) {
        SetWindowLongPtrW(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&CWndBase::StaticDlgProc));
    }
}

void LogWindowError(HWND window, const std::wstring& what) {
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    DebugLog() << L"Error : " << className << L" : " << what << EndLine;
}

// An exception must not unwind through the system's code that called a window or dialog procedure;
// the message it interrupted counts as handled.
template <typename Procedure> LRESULT CallGuarded(HWND window, Procedure&& procedure) {
    try {
        return procedure();
    } catch (const utl::exception::CException& e) {
        MessageBoxW(nullptr, e.text.c_str(), L"CException", MB_OK);
    } catch (const std::exception& e) {
        LogWindowError(window, AnsiToWide(e.what()));
    } catch (...) {
        LogWindowError(window, L"unknown exception");
    }
    return 0;
}

} // namespace

CWndBase::~CWndBase() {
    Detach();
}

LRESULT CWndBase::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultProc(window, message, wParam, lParam);
}

LRESULT CWndBase::DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_isDialog) {
        if (m_prevWndProc != nullptr) {
            return reinterpret_cast<DLGPROC>(m_prevWndProc)(window, message, wParam, lParam);
        }
        return FALSE;
    }
    if (m_prevWndProc != nullptr) {
        return CallWindowProcW(m_prevWndProc, window, message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

CWndBase* CWndBase::FromWindow(HWND window) {
    if (window == nullptr) {
        return nullptr;
    }
    const unsigned generation = g_objectGeneration.load();
    for (const KeptObject& kept : t_keptObjects) {
        if (kept.window == window && kept.generation == generation) {
            return kept.object;
        }
    }
    auto* object = static_cast<CWndBase*>(GetPropW(window, kObjectProp));
    if (object != nullptr) {
        t_keptObjects[t_nextKept] = {window, object, generation};
        t_nextKept = (t_nextKept + 1) % kKeptObjects;
    }
    return object;
}

bool CWndBase::Attach(HWND window, CWndBase* object) {
    if (window == nullptr || object == nullptr || object->m_hWnd != nullptr || !IsWindow(window) ||
        FromWindow(window) != nullptr) {
        return false;
    }
    if (!SetPropW(window, kObjectProp, object)) {
        return false;
    }
    ++g_objectGeneration;
    object->m_hWnd = window;
    object->m_isDialog = IsDialogWindow(window);
    object->m_prevWndProc = nullptr;
    if (object->m_isDialog) {
        const DLGPROC current = CurrentDlgProc(window);
        if (current != &StaticDlgProc) {
            if (current != reinterpret_cast<DLGPROC>(&StaticWndProc)) {
                object->m_prevWndProc = reinterpret_cast<WNDPROC>(current);
            }
            SetWindowLongPtrW(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&StaticDlgProc));
        }
        return true;
    }
    if (const auto orphan = reinterpret_cast<WNDPROC>(GetPropW(window, kOrphanProcProp))) {
        // Our procedure is still in the chain below another subclass: reuse it rather than subclass
        // again, or the message would reach the object twice.
        RemovePropW(window, kOrphanProcProp);
        object->m_prevWndProc = orphan;
        return true;
    }
    const WNDPROC current = CurrentWndProc(window);
    if (current != &StaticWndProc) {
        object->m_prevWndProc = current;
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWndProc));
    }
    return true;
}

void CWndBase::Detach() {
    const HWND window = m_hWnd;
    const WNDPROC prev = m_prevWndProc;
    m_hWnd = nullptr;
    m_prevWndProc = nullptr;
    if (window == nullptr) {
        return;
    }
    // Also when the window went without telling us: a lookup of its handle kept by a thread is stale.
    struct CountAfterwards {
        ~CountAfterwards() { ++g_objectGeneration; }
    } countAfterwards;
    // A stale handle may name another window by now.
    if (!IsWindow(window) || FromWindow(window) != this) {
        return;
    }
    RemovePropW(window, kObjectProp);
    if (prev == nullptr) {
        // The window was made with our procedure; without an object it does the default handling.
        return;
    }
    if (m_isDialog) {
        if (CurrentDlgProc(window) == &StaticDlgProc) {
            SetWindowLongPtrW(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(prev));
        }
    } else if (CurrentWndProc(window) == &StaticWndProc) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
    } else {
        // Restoring would unhook the subclass above ours.
        SetPropW(window, kOrphanProcProp, reinterpret_cast<HANDLE>(prev));
    }
}

LRESULT CWndBase::Dispatch(CWndBase* object, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Both procedures reach an object only here, so one guard covers them, and the detach below still
    // runs when the object threw while its window was destroyed.
    const LRESULT result = CallGuarded(window, [&] { return object->WndProc(window, message, wParam, lParam); });
    // The object may have detached or deleted itself meanwhile; then it must not be touched.
    if ((message == WM_DESTROY || message == WM_NCDESTROY) && FromWindow(window) == object) {
        object->Detach();
    }
    return result;
}

LRESULT CALLBACK CWndBase::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWndBase* object = FromWindow(window);
    if (object == nullptr) {
        if (const auto orphan = reinterpret_cast<WNDPROC>(GetPropW(window, kOrphanProcProp))) {
            if (message == WM_NCDESTROY) {
                RemovePropW(window, kOrphanProcProp);
            }
            return CallWindowProcW(orphan, window, message, wParam, lParam);
        }
        const bool isDialog = IsDialogWindow(window);
        // A dialog's creation parameter is not ours; its object arrives with WM_INITDIALOG.
        if (message == WM_NCCREATE && !isDialog) {
            auto* created = static_cast<CWndBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            if (created != nullptr && Attach(window, created)) {
                return Dispatch(created, window, message, wParam, lParam);
            }
        }
        if (!isDialog) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        RedirectDialogProc(window);
        return DefDlgProcW(window, message, wParam, lParam);
    }
    if (object->m_isDialog) {
        // The dialog manager calls the dialog procedure, which reaches the object.
        return DefDlgProcW(window, message, wParam, lParam);
    }
    return Dispatch(object, window, message, wParam, lParam);
}

INT_PTR CALLBACK CWndBase::StaticDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWndBase* object = FromWindow(window);
    if (object == nullptr && message == WM_INITDIALOG && lParam != 0) {
        object = reinterpret_cast<CWndBase*>(lParam);
        if (!Attach(window, object)) {
            return FALSE;
        }
    }
    if (object == nullptr || !object->m_isDialog) {
        return FALSE;
    }
    return Dispatch(object, window, message, wParam, lParam);
}
