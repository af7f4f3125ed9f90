#include "app/Accelerators.h"

#include "app/resource.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Handles.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"
#include "foundation/TextFile.h"

#include <atomic>
#include <cwctype>
#include <memory>
#include <vector>

namespace {

std::atomic<HACCEL> g_main{nullptr};
std::atomic<HACCEL> g_shared{nullptr};

struct NamedKey {
    const wchar_t* name;
    WORD key;
};

const NamedKey kNamedKeys[] = {
    {L"space", VK_SPACE},   {L"enter", VK_RETURN},  {L"tab", VK_TAB},       {L"escape", VK_ESCAPE},
    {L"esc", VK_ESCAPE},    {L"left", VK_LEFT},     {L"right", VK_RIGHT},   {L"up", VK_UP},
    {L"down", VK_DOWN},     {L"home", VK_HOME},     {L"end", VK_END},       {L"pageup", VK_PRIOR},
    {L"pagedown", VK_NEXT}, {L"insert", VK_INSERT}, {L"delete", VK_DELETE}, {L"back", VK_BACK},
};

const wchar_t kDefaultFile[] = L"[main]\r\n"
                               L"302=Space\r\n"
                               L"8100=Ctrl+O\r\n"
                               L"8320=Left\r\n"
                               L"8321=Right\r\n"
                               L"8875=Alt+Enter\r\n"
                               L"[common]\r\n"
                               L"8800=Ctrl+P\r\n"
                               L"8810=Ctrl+D\r\n"
                               L"8820=Ctrl+I\r\n"
                               L"8830=Ctrl+L\r\n"
                               L"8840=Ctrl+M\r\n"
                               L"8860=Ctrl+G\r\n";

// The key=value lines of a section, through the profile functions.
std::vector<std::wstring> SectionLines(const std::wstring& path, const wchar_t* section) {
    std::wstring buffer(4096, L'\0');
    for (;;) {
        const DWORD length =
            GetPrivateProfileSectionW(section, &buffer[0], static_cast<DWORD>(buffer.size()), path.c_str());
        if (length + 2 < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return Split(buffer, std::wstring(1, L'\0'), true);
}

CAcceleratorTable BuildTable(const std::wstring& path, const wchar_t* section) {
    std::vector<ACCEL> table;
    for (const std::wstring& line : SectionLines(path, section)) {
        const auto equals = line.find(L'=');
        if (equals == std::wstring::npos) {
            continue;
        }
        const int command = ToIntOrZero(line.substr(0, equals));
        ACCEL accel = {};
        if (command > 0 && command <= 0xFFFF && ParseAcceleratorKey(line.substr(equals + 1), accel)) {
            accel.cmd = static_cast<WORD>(command);
            table.push_back(accel);
        }
    }
    return CAcceleratorTable(table.empty() ? nullptr
                                           : CreateAcceleratorTableW(table.data(), static_cast<int>(table.size())));
}

void Replace(std::atomic<HACCEL>& slot, CAcceleratorTable table) {
    // The table that leaves the slot is destroyed here.
    CAcceleratorTable old(slot.exchange(table.Release()));
}

} // namespace

bool ParseAcceleratorKey(const std::wstring& text, ACCEL& accel) {
    accel.fVirt = FVIRTKEY;
    std::vector<std::wstring> parts = Split(ToLower(text), L"+", true);
    if (parts.empty()) {
        return false;
    }
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] == L"ctrl") {
            accel.fVirt |= FCONTROL;
        } else if (parts[i] == L"shift") {
            accel.fVirt |= FSHIFT;
        } else if (parts[i] == L"alt") {
            accel.fVirt |= FALT;
        } else {
            return false;
        }
    }
    const std::wstring& key = parts.back();
    if (key.size() == 1 && ((key[0] >= L'a' && key[0] <= L'z') || (key[0] >= L'0' && key[0] <= L'9'))) {
        accel.key = static_cast<WORD>(towupper(key[0]));
        return true;
    }
    if (key.size() >= 2 && key[0] == L'f') {
        const int number = ToIntOrZero(key.substr(1));
        if (number >= 1 && number <= 24) {
            accel.key = static_cast<WORD>(VK_F1 + number - 1);
            return true;
        }
    }
    for (const NamedKey& named : kNamedKeys) {
        if (key == named.name) {
            accel.key = named.key;
            return true;
        }
    }
    return false;
}

void BuildAccelerators(const std::wstring& programFolder) {
    const std::wstring path = programFolder + L"\\accel.ini";
    CreateUtf16FileIfMissing(path, kDefaultFile);
    Replace(g_main, BuildTable(path, L"main"));
    Replace(g_shared, BuildTable(path, L"common"));
}

void StartBuildingAccelerators(const std::wstring& programFolder) {
    StartWorker({L"BuildAccelerators", false}, [programFolder] { BuildAccelerators(programFolder); });
}

HACCEL GetMainAccelerator() {
    return g_main;
}
HACCEL GetSharedAccelerator() {
    return g_shared;
}

void DestroyAccelerators() {
    Replace(g_main, CAcceleratorTable());
    Replace(g_shared, CAcceleratorTable());
}
