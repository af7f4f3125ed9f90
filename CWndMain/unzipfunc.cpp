#include "CWndMain/unzipfunc.h"

#include "CWndMain/UpdateException.h"
#include "CWndMain/UpdaterUtil.h"
#include "foundation/Handles.h"

#include <windows.h>

#include <cstring>

namespace {

// The library's records as it reads them.
struct DCL {
    int32_t ExtractOnlyNewer;
    int32_t SpaceToUnderscore;
    int32_t PromptToOverwrite;
    int32_t fQuiet;
    int32_t ncflag;
    int32_t ntflag;
    int32_t nvflag;
    int32_t nfflag;
    int32_t nzflag;
    int32_t ndflag;
    int32_t noflag;
    int32_t naflag;
    int32_t nZIflag;
    int32_t C_flag;
    int32_t fPrivilege;
    char* lpszZipFN;
    char* lpszExtractDir;
};

using PrintCallback = int(WINAPI*)(LPSTR, unsigned long);
using SoundCallback = void(WINAPI*)();
using ReplaceCallback = int(WINAPI*)(LPSTR);
using PasswordCallback = int(WINAPI*)(LPSTR, int, LPCSTR, LPCSTR);
using MessageCallback = void(WINAPI*)(unsigned long, unsigned long, unsigned, unsigned, unsigned, unsigned,
                                      unsigned, unsigned, char, LPSTR, LPSTR, unsigned long, char);
using ServiceCallback = int(WINAPI*)(LPCSTR, unsigned long);

struct USERFUNCTIONS {
    PrintCallback print;
    SoundCallback sound;
    ReplaceCallback replace;
    PasswordCallback password;
    MessageCallback SendApplicationMessage;
    ServiceCallback ServCallBk;
    unsigned long TotalSizeComp;
    unsigned long TotalSize;
    unsigned long CompFactor;
    unsigned long NumMembers;
    WORD cchComment;
};

#if !defined(_WIN64)
static_assert(sizeof(DCL) == 68, "the library reads 68 bytes");
static_assert(sizeof(USERFUNCTIONS) == 44, "the library reads 44 bytes");
#endif

using SingleEntryUnzip = int(WINAPI*)(int, char**, int, char**, DCL*, USERFUNCTIONS*);

int WINAPI UnzipPrintCallback(LPSTR, unsigned long length) {
    return static_cast<int>(length);
}
void WINAPI UnzipSoundCallback() {}
int WINAPI UnzipReplaceCallback(LPSTR) {
    return 1;
}
int WINAPI UnzipPasswordCallback(LPSTR, int, LPCSTR, LPCSTR) {
    return 0;
}
void WINAPI UnzipMessageCallback(unsigned long, unsigned long, unsigned, unsigned, unsigned, unsigned, unsigned,
                                 unsigned, char, LPSTR, LPSTR, unsigned long, char) {}

constexpr size_t kPathBuffer = 260;

// A locked, zero-filled block for one record; frees itself.
template <typename Record> class CLockedRecord {
public:
    CLockedRecord(const wchar_t* allocFailure, const wchar_t* lockFailure) {
        m_memory.Reset(GlobalAlloc(GPTR, sizeof(Record)));
        if (!m_memory) {
            throw UPDATE_ERROR(allocFailure);
        }
        m_record = static_cast<Record*>(GlobalLock(m_memory.Get()));
        if (m_record == nullptr) {
            throw UPDATE_ERROR(lockFailure);
        }
    }
    ~CLockedRecord() {
        if (m_record != nullptr) {
            GlobalUnlock(m_memory.Get());
        }
    }
    Record* Get() const { return m_record; }

private:
    CGlobalMemory m_memory;
    Record* m_record = nullptr;
};

} // namespace

void UnzipWithDll(void* entryPoint, const std::wstring& zipPath, const std::wstring& folder) {
    const std::string narrowZip = ToNarrowString(zipPath);
    const std::string narrowFolder = ToNarrowString(folder);
    if (narrowZip.size() >= kPathBuffer || narrowFolder.size() >= kPathBuffer) {
        throw UPDATE_ERROR(L"パスが長すぎます");
    }
    char zipBuffer[kPathBuffer] = {};
    char folderBuffer[kPathBuffer] = {};
    std::memcpy(zipBuffer, narrowZip.c_str(), narrowZip.size() + 1);
    std::memcpy(folderBuffer, narrowFolder.c_str(), narrowFolder.size() + 1);

    CLockedRecord<DCL> dcl(L"領域の確保(DCL)に失敗しました", L"領域のロック(DCL)に失敗しました");
    DCL* options = dcl.Get();
    options->PromptToOverwrite = 1;
    options->fQuiet = 2;
    options->ndflag = 1;
    options->noflag = 1;
    options->lpszZipFN = zipBuffer;
    options->lpszExtractDir = folderBuffer;

    CLockedRecord<USERFUNCTIONS> user(L"領域の確保(USERFUNCTIONS)に失敗しました",
                                      L"領域のロック(USERFUNCTIONS)に失敗しました");
    USERFUNCTIONS* functions = user.Get();
    functions->print = UnzipPrintCallback;
    functions->sound = UnzipSoundCallback;
    functions->replace = UnzipReplaceCallback;
    functions->password = UnzipPasswordCallback;
    functions->SendApplicationMessage = UnzipMessageCallback;

    const int result = reinterpret_cast<SingleEntryUnzip>(entryPoint)(0, nullptr, 0, nullptr, options, functions);
    if (result != 0) {
        throw UPDATE_ERROR_CODE(L"ファイルの解凍に失敗しました", result);
    }
}

void UnzipFile(const std::wstring& zipPath, const std::wstring& folder) {
    const std::wstring libraryPath = GetModuleDirectory() + L"\\unzip32.dll";
    CModuleHandle library(LoadLibraryW(libraryPath.c_str()));
    if (!library) {
        throw UPDATE_ERROR(L"unzip32.dllの読み込みに失敗しました");
    }
    FARPROC entry = GetProcAddress(library.Get(), "Wiz_SingleEntryUnzip");
    if (entry == nullptr) {
        throw UPDATE_ERROR(L"Wiz_SingleEntryUnzip関数の取得に失敗しました");
    }
    UnzipWithDll(reinterpret_cast<void*>(entry), zipPath, folder);
}
