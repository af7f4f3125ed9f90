#pragma once
// Which page build is current. Each request that changes the page source takes a new generation; a
// build checks its generation before every step that shows itself (page writes, navigation, flag
// changes), so a superseded build ends quietly on its own and is never killed or waited for on the UI
// thread. An empty source supersedes a running build too, though it starts none.
//
// Thread use: any thread (one lock).

#include "foundation/CCritSec.h"

#include <string>

class CVideoInfoRequests {
public:
    // The outcome of one request from the main window.
    struct Request {
        bool changed = false;   // false: the same source as before, nothing happens
        bool startBuild = false; // true: start a build with this generation
        unsigned int generation = 0;
    };
    Request Submit(const std::wstring& source);

    // The build of this generation is still the current one.
    bool IsCurrent(unsigned int generation) const;
    // A build has completed with the last-build flag: no further builds in this process.
    void SetLastBuild(unsigned int generation);
    bool IsLastBuild() const;

private:
    mutable CCritSec m_lock;
    std::wstring m_previous = L"__empty__";
    unsigned int m_generation = 0;
    bool m_lastBuild = false;
};
