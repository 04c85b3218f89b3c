#pragma once

#include "link/Link.h"
#include "ports/Board.h"
#include "ports/Cursor.h"
#include "ports/MessageBoxes.h"
#include "ports/PictureLoader.h"
#include "ports/ProcessControl.h"
#include "ports/Timer.h"
#include "settings/SaverSettings.h"

#include <array>
#include <cstdint>
#include <string>

namespace wendel {

// What the saver window reaches the platform through.
struct SaverPorts {
    Board& board;
    Timer& dTimer;
    Timer& playIconTimer;
    Timer& imageErrorTimer;
    Cursor& cursor;
    Link& link;
    PictureLoader& pictures;
    MessageBoxes& boxes;
    ProcessControl& process;
};

// The running saver: every routine of the saver window and all of its state,
// in one object. The platform forwards window input, timer ticks and link
// messages to the handlers below.
class WendelSaverMain final {
public:
    WendelSaverMain(SaverPorts ports, std::string settingsPath);
    // The link's handler holds on to this object, so it stays where it is made.
    WendelSaverMain(const WendelSaverMain&) = delete;
    WendelSaverMain& operator=(const WendelSaverMain&) = delete;

    // ---- start-up and ending
    void FormLoad();
    void FormMouseDown();
    void FormKeyDown();
    void FormMouseMove();
    void EndSaver();

    // ---- display
    void ApplyLook(std::int32_t look);
    std::int32_t ShowAlbumCover(const std::string& path);
    void ImageErrorTimerTick();
    // The outcome of the board's cover decode that ShowAlbumCover started.
    void CoverDecoded(std::int32_t code);

    // ---- reveal effects
    void RevealTrack();
    void RevealArtistAlbum();
    void RevealNextInfo();
    void RevealAlbumNotice();
    void EraseAlbumNotice();

    // ---- link
    void MessageArrived(const std::string& device, const std::string& message);
    void LinkConnected();
    void DTimerTick();
    void PlayIconTimerTick();
    void FindFieldEnds(int count, std::string& text);

    // ---- now playing
    void ShowPlayingItem(const std::string& text);
    void ShowTrackTime(const std::string& message);
    void CheckCurrentEntry(const std::string& text);
    void ShowNextEntry(const std::string& text);

    const SaverSettings& Settings() const { return settings_; }
    SaverSettings& Settings() { return settings_; }

    // ---- window state, public for tests to read
    std::string TxDevice;
    std::string RxDevice;
    bool WantCurrentEntry = false;
    bool LinkHeard = false;
    bool IsPlaying = false;
    std::string LastPlaying;
    std::array<std::int16_t, 7> FieldEnd{};
    std::string TrackLength;
    bool AlbumNextShown = false;
    double RevealSpeed = 0;
    std::int32_t CoverRetryLimit = 0;
    std::string PlayingTitle;
    std::int16_t PlayingTrackNumber = 0;
    std::int16_t NextRetries = 0;
    std::string CoverPath;
    std::string LastCoverPath;
    std::int32_t CoverRetryCount = 0;
    std::int32_t CoverLoadError = 0;
    bool CoverDecoding = false; // a decode started by ShowAlbumCover has not reported yet

private:
    // The cover's fatal path: message, then the end of the saver.
    void FailCover(std::int32_t code);

    SaverPorts ports_;
    std::string settingsPath_;
    SaverSettings settings_;
    CoverPlacement decodingCoverPlace_; // where the cover being decoded goes

    // ---- the conversation with PLX: the dispatcher's rows and the fetch cycle
    // (core/link/Dispatch.cpp, core/nowplaying/*.cpp)
    void DispatchPlaying(const std::string& message);
    void DispatchPlaylistItem(const std::string& message);
    void DispatchPlaylistPlay(const std::string& message);
    void DispatchPlaylistStop(const std::string& message);
    void DispatchPlaylistPause(const std::string& message);
    void DispatchPlaylistPointer(const std::string& message);
    void ArmDTimer();
};

} // namespace wendel
