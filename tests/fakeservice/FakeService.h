#pragma once
// Starts the fake of the service (fake_service.py) for one test and stops it again. The fake runs as
// a Linux process on a free port of 127.0.0.1; it also stops by itself once this object's process has
// ended, so that a crashed test leaves nothing running.
//
// Thread use: the test's thread.

#include "foundation/Handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// One request as the fake saw it.
struct FakeRequest {
    std::wstring method;
    std::wstring path; // with its query
    std::wstring userAgent;
    std::wstring cookie;
};

class FakeService {
public:
    // Starts the fake and pumps messages until it reports its port (or a deadline has passed).
    FakeService();
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    bool IsRunning() const { return m_running; }
    // The port the fake listened on; it stays known after Stop.
    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT/".
    std::wstring BaseUrl() const;
    // The requests so far, oldest first.
    std::vector<FakeRequest> Requests() const;
    // Asks the fake to end and waits until it has; its port is closed afterwards.
    void Stop();

private:
    std::string m_unixStem;     // the fake's files, as Linux paths without their extension
    std::wstring m_windowsStem; // the same files seen from here
    CFileHandle m_alive;
    int m_port = 0;
    bool m_running = false;
};

} // namespace testing_support
