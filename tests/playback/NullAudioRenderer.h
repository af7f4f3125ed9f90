#pragma once
// An audio renderer that plays nothing, registered for this process only while an object of
// NullAudioRegistration lives: the machine has no sound device, so without it the graph builder finds
// no renderer for a file that has only audio. Built on our own filter base.
//
// Thread use: the registration on the test's main thread; the filter on the graph's threads.

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>

class NullAudioRegistration {
public:
    NullAudioRegistration();
    ~NullAudioRegistration();
    NullAudioRegistration(const NullAudioRegistration&) = delete;
    NullAudioRegistration& operator=(const NullAudioRegistration&) = delete;

    bool Registered() const { return m_registered && m_classCookie != 0; }

private:
    DWORD m_classCookie = 0;
    bool m_registered = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_ending = false;
    std::thread m_classThread;
};
