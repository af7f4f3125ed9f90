#include "tests/playback/MediaFiles.h"

#include "foundation/Handles.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

class RiffWriter {
public:
    void FourCc(const char* code) { m_bytes.insert(m_bytes.end(), code, code + 4); }
    void U16(uint16_t value) {
        for (int i = 0; i < 2; ++i) {
            m_bytes.push_back(static_cast<BYTE>(value >> (8 * i)));
        }
    }
    void U32(uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            m_bytes.push_back(static_cast<BYTE>(value >> (8 * i)));
        }
    }
    void Bytes(const void* data, size_t size) {
        const BYTE* begin = static_cast<const BYTE*>(data);
        m_bytes.insert(m_bytes.end(), begin, begin + size);
    }
    // Opens a chunk (or a LIST/RIFF with its form type) and returns where its size goes.
    size_t Open(const char* code, const char* form = nullptr) {
        FourCc(code);
        const size_t sizeAt = m_bytes.size();
        U32(0);
        if (form != nullptr) {
            FourCc(form);
        }
        return sizeAt;
    }
    void Close(size_t sizeAt) {
        const uint32_t size = static_cast<uint32_t>(m_bytes.size() - sizeAt - 4);
        std::memcpy(&m_bytes[sizeAt], &size, 4);
        if (m_bytes.size() % 2 != 0) {
            m_bytes.push_back(0);
        }
    }
    size_t Size() const { return m_bytes.size(); }
    void Save(const std::wstring& path) const {
        const CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!file) {
            return;
        }
        DWORD written = 0;
        WriteFile(file.Get(), m_bytes.data(), static_cast<DWORD>(m_bytes.size()), &written, nullptr);
    }

private:
    std::vector<BYTE> m_bytes;
};

} // namespace

BYTE FrameGrey(uint32_t frame) {
    return static_cast<BYTE>(40 + (frame * 7) % 200);
}

void WriteRgb24Avi(const std::wstring& path, const AviFormat& format) {
    const uint32_t stride = ((static_cast<uint32_t>(format.width) * 24 + 31) / 32) * 4;
    const uint32_t frameSize = stride * static_cast<uint32_t>(format.height);
    RiffWriter avi;
    const size_t riff = avi.Open("RIFF", "AVI ");
    const size_t hdrl = avi.Open("LIST", "hdrl");
    const size_t avih = avi.Open("avih");
    avi.U32(1000000 / format.framesPerSecond);
    avi.U32(frameSize * format.framesPerSecond);
    avi.U32(0);
    avi.U32(0x10); // has an index
    avi.U32(format.frames);
    avi.U32(0);
    avi.U32(1);
    avi.U32(frameSize);
    avi.U32(static_cast<uint32_t>(format.width));
    avi.U32(static_cast<uint32_t>(format.height));
    for (int i = 0; i < 4; ++i) {
        avi.U32(0);
    }
    avi.Close(avih);
    const size_t strl = avi.Open("LIST", "strl");
    const size_t strh = avi.Open("strh");
    avi.FourCc("vids");
    avi.FourCc("DIB ");
    avi.U32(0);
    avi.U16(0);
    avi.U16(0);
    avi.U32(0);
    avi.U32(1);
    avi.U32(format.framesPerSecond);
    avi.U32(0);
    avi.U32(format.frames);
    avi.U32(frameSize);
    avi.U32(0xFFFFFFFF);
    avi.U32(0);
    avi.U16(0);
    avi.U16(0);
    avi.U16(static_cast<uint16_t>(format.width));
    avi.U16(static_cast<uint16_t>(format.height));
    avi.Close(strh);
    const size_t strf = avi.Open("strf");
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = format.width;
    header.biHeight = format.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = frameSize;
    avi.Bytes(&header, sizeof(header));
    avi.Close(strf);
    avi.Close(strl);
    avi.Close(hdrl);
    const size_t movi = avi.Open("LIST", "movi");
    const size_t moviStart = movi + 4; // offsets count from the "movi" form type
    std::vector<uint32_t> offsets;
    std::vector<BYTE> frame(frameSize);
    for (uint32_t i = 0; i < format.frames; ++i) {
        std::memset(frame.data(), FrameGrey(i), frame.size());
        offsets.push_back(static_cast<uint32_t>(avi.Size() - moviStart));
        const size_t chunk = avi.Open("00db");
        avi.Bytes(frame.data(), frame.size());
        avi.Close(chunk);
    }
    avi.Close(movi);
    const size_t idx1 = avi.Open("idx1");
    for (uint32_t offset : offsets) {
        avi.FourCc("00db");
        avi.U32(0x10); // key frame
        avi.U32(offset);
        avi.U32(frameSize);
    }
    avi.Close(idx1);
    avi.Close(riff);
    avi.Save(path);
}

void WritePcmWav(const std::wstring& path, uint32_t milliseconds) {
    const uint32_t rate = 22050;
    const uint32_t samples = rate * milliseconds / 1000;
    RiffWriter wav;
    const size_t riff = wav.Open("RIFF", "WAVE");
    const size_t fmt = wav.Open("fmt ");
    wav.U16(1); // PCM
    wav.U16(1);
    wav.U32(rate);
    wav.U32(rate * 2);
    wav.U16(2);
    wav.U16(16);
    wav.Close(fmt);
    const size_t data = wav.Open("data");
    for (uint32_t i = 0; i < samples; ++i) {
        wav.U16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * 3.14159265 * 440 / rate))));
    }
    wav.Close(data);
    wav.Close(riff);
    wav.Save(path);
}
