#pragma once
// The download settings sheet: the modal property sheet "設定" with six pages (dialogs 110-114 and
// 119), opened by the download window's settings command. Each page shows DownloadSettings when it is
// first displayed; OK has every displayed page write its controls back, in page order; Cancel and the
// close box write nothing, and a page never displayed keeps its settings. Nothing reaches the file
// here (the window writes the section when it is destroyed). The process-wide settings-sheet-open flag
// is set from the moment the sheet is built until it has closed: the main window refuses to close and
// the login waits while it is set.
//
// What a page's controls show and how they go back into the settings are plain functions below; the
// page procedures only move those values between the functions and the controls.
//
// Thread use: UI thread; IsDownloadSettingsSheetOpen from any thread.

#include "CWndDownload/DownloadSettings.h"

#include <windows.h>
#include <prsht.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The pages' dialog resource IDs in tab order.
extern const int kDownloadSettingsPages[6];

// What a page's controls hold: check boxes and radio buttons (checked or not) and edit boxes, by
// control ID.
struct SettingsPageValues {
    std::map<int, bool> checks;
    std::map<int, std::wstring> texts;

    bool operator==(const SettingsPageValues& other) const { return checks == other.checks && texts == other.texts; }
};

// The page's controls as the settings set them. A radio button that stands for neither of two
// settings is checked when both are false; with both true, both of theirs are checked.
SettingsPageValues GetSettingsPageValues(int page, const DownloadSettings& settings);
// Stores the page's controls into the settings: a flag is true when its control is checked, enabled or
// not; the texts as typed, except that a relative save folder is taken inside programFolder (the
// downloads would otherwise resolve it against whatever the current folder is).
void ApplySettingsPageValues(int page, const SettingsPageValues& values, const std::wstring& programFolder,
                             DownloadSettings& settings);
// The page's enabling rule: each control that depends on another one's check, with its enabled state.
std::vector<std::pair<int, bool>> GetSettingsPageEnabling(int page, const SettingsPageValues& values);
// The tooltip texts of the page's controls, in the page's order.
std::vector<std::pair<int, std::wstring>> GetSettingsPageTips(int page);

// The save folder a path dropped on page 1 gives: a ".lnk" (in any case) stands for its target; empty
// unless the result is a folder.
std::wstring GetDroppedSaveFolder(const std::wstring& path);
// Clears DS_CONTEXTHELP from a dialog template's style, in either form: DLGTEMPLATE or DLGTEMPLATEEX
// (whose style sits after its version, signature, help ID and extended style).
void ClearContextHelpStyle(void* dialogTemplate);

bool IsDownloadSettingsSheetOpen();
// The open sheet's window, or null.
HWND GetDownloadSettingsSheetWindow();

// Builds and shows the sheet owned by the window and returns when it has closed. Asked again while
// the sheet is open (its modal loop still dispatches the window's messages), the open sheet is brought
// to the front and the call returns at once: a second sheet would clear the flag when it closed, while
// the first was still open.
void ShowDownloadSettings(HWND owner);

// The steps of ShowDownloadSettings.
class CSettingsPage;
using SettingsPageProc = LRESULT (CSettingsPage::*)(HWND, UINT, WPARAM, LPARAM);
struct SettingsPageList {
    SettingsPageList();
    ~SettingsPageList();
    SettingsPageList(const SettingsPageList&) = delete;
    SettingsPageList& operator=(const SettingsPageList&) = delete;

    std::vector<HPROPSHEETPAGE> handles;
    // The pages' objects, alive until the sheet has closed.
    std::vector<std::unique_ptr<CSettingsPage>> pages;
    // Set once PropertySheetW has taken the handles (it destroys them itself).
    bool handedOver = false;
};
// Creates the page of the resource with its procedure and appends it; false (nothing appended) when
// the page cannot be created.
bool CreateSettingsPage(int resourceId, SettingsPageProc procedure, SettingsPageList& pages);
// False without showing anything for an empty list; else runs the modal sheet (no Apply button, first
// page shown first) and is true unless PropertySheetW fails.
bool ShowSettingsSheet(const std::wstring& caption, SettingsPageList& pages, HWND owner);
int CALLBACK SettingsSheetCallback(HWND window, UINT message, LPARAM lParam);
