#pragma once
// A stand-in for the player's main window: it owns the video window and records what the graph
// wrapper and the frame pump post to it. Graph events are taken as the main window takes them, and
// EC_COMPLETE ends the media only when the wrapper grants it.
//
// Thread use: the thread that creates it (the test's main thread).

#include <windows.h>

#include <cstdint>
#include <vector>

class PlayerWindow {
public:
    PlayerWindow();
    ~PlayerWindow();
    PlayerWindow(const PlayerWindow&) = delete;
    PlayerWindow& operator=(const PlayerWindow&) = delete;

    HWND Handle() const { return m_window; }

    std::vector<int32_t> positions; // kMsgPlayPosition in ms, in arrival order
    std::vector<long> graphEvents;
    int completions = 0; // EC_COMPLETE events seen
    int endsOfMedia = 0; // end-of-media handling runs (pump or EC_COMPLETE)

private:
    static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
};
