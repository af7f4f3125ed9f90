#pragma once
// Media files the playback tests write themselves, with no codec involved.

#include <windows.h>

#include <cstdint>
#include <string>

struct AviFormat {
    int32_t width = 171; // odd: RGB24 rows then need padding to whole DWORDs
    int32_t height = 96;
    uint32_t framesPerSecond = 25;
    uint32_t frames = 50;
};

// An uncompressed bottom-up RGB24 AVI; frame i is filled with the grey level of FrameGrey(i).
void WriteRgb24Avi(const std::wstring& path, const AviFormat& format);
BYTE FrameGrey(uint32_t frame);

// A 16-bit mono PCM WAV of a 440 Hz tone.
void WritePcmWav(const std::wstring& path, uint32_t milliseconds);
