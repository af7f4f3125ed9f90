#pragma once
// Navigation targets of the page: links made absolute against the page, and the file behind a target.
//
// Thread use: any thread.

#include <string>

// A target with a scheme ("http:", "velaplayer:", "javascript:"...) or a full path ("C:\...",
// "\\server\...") stays as written; "//host/..." takes the base's scheme; any other text is joined
// to the base: an http base by its URL rules ("/x" from the host, "x" beside the page), a path or
// "file:" base by its folder, with '/' as '\'. An empty href stays empty.
std::wstring ResolvePageTarget(const std::wstring& base, const std::wstring& href);

// The local file a target names: a path as is, a "file:" URL decoded (%XX as UTF-8 bytes); empty
// for any other target.
std::wstring FilePathOfTarget(const std::wstring& target);
