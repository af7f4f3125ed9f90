#include "app/MediaPlayback.h"

#include "foundation/CBaseDebug.h"

PlayingMedia& GetPlayingMedia() {
    static PlayingMedia media;
    return media;
}

bool IsGraphReady() { return false; }
int GetPlayState() { return -1; }
void PlayMedia() {}
void PauseMedia() {}
void StopMedia() {}
long long GetPositionMs() { return 0; }
long long GetDurationMs() { return 0; }
void SeekMs(long long) {}
void SeekPercent(int) {}
bool SetPlaybackRate(double) { return false; }
void ApplyVolume() {}

bool OpenMediaFile(const std::wstring& path, const std::vector<std::wstring>&) {
    DebugLog() << L"動画ファイル : " << path << EndLine;
    return false;
}

void CloseMediaFile() {
    PlayingMedia& media = GetPlayingMedia();
    media = PlayingMedia();
}

void PlayNextByPlayWay() {}
