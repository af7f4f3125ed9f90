#pragma once
// The unzip library at run time: unzip32.dll beside the updater, its one entry point and records.
//
// Thread use: the update worker.

#include <string>

// Loads the library from the updater's folder, unpacks zipPath below folder, releases it; raises
// utl::exception::Exception on failure.
void UnzipFile(const std::wstring& zipPath, const std::wstring& folder);
// Fills the records and calls the entry point (a Wiz_SingleEntryUnzip); raises on failure, also
// for a path that does not fit the library's buffers.
void UnzipWithDll(void* entryPoint, const std::wstring& zipPath, const std::wstring& folder);
