#include "app/WendelSaverMain.h"

#include <utility>

namespace wendel {

namespace {

constexpr float kMillisecondsPerSecond = 1000.0f;

} // namespace

WendelSaverMain::WendelSaverMain(SaverPorts ports, std::string settingsPath)
    : ports_(ports), settingsPath_(std::move(settingsPath))
{
    // The link is part of the window: its messages reach the dispatcher from
    // the moment the window exists, even during FormLoad's opening calls.
    ports_.link.SetMessageHandler([this](const std::string& device, const std::string& message) {
        MessageArrived(device, message);
    });
    ports_.link.SetConnectedHandler([this] { LinkConnected(); });
}

void WendelSaverMain::FormLoad()
{
    TxDevice = "plx";
    RxDevice = "plxr";

    WantCurrentEntry = true;
    LinkHeard = false;
    CoverRetryLimit = 5;
    IsPlaying = false;
    AlbumNextShown = false;

    settings_ = ReadSettings(settingsPath_, ports_.boxes);
    // From here on the overlap holds milliseconds.
    settings_.Overlap *= kMillisecondsPerSecond;

    if (BackgroundIsOn(settings_)) {
        ports_.board.ShowBackdrop();
        ports_.cursor.Show(false);
    } else {
        ports_.cursor.Show(true);
    }

    ApplyLook(settings_.CustomLook);
    RevealSpeed = 0.25;

    ports_.link.OpenDevice(TxDevice, "type=devtx", 1, 1, 0);
    ports_.link.OpenDevice(RxDevice, "type=devrx", 1, 1, 0);

    // A message that arrived during the openings has already set LinkHeard.
    if (!LinkHeard) {
        ports_.board.SetVisible(Label::NoPLX, true);
        ports_.board.SetVisible(Label::Caption_Upnext, false);
    }

    ports_.link.SendCommand(TxDevice, "notify_playing_item[on]");
    ports_.link.SendCommand(TxDevice, "notify_playing_timecode[on]");
}

void WendelSaverMain::FormMouseDown()
{
    EndSaver();
}

void WendelSaverMain::FormKeyDown()
{
    EndSaver();
}

void WendelSaverMain::FormMouseMove()
{
    // Moving the mouse never ends this saver.
}

void WendelSaverMain::EndSaver()
{
    ports_.cursor.Show(true);
    // Nothing is sent over the link and nothing is saved: the process ends here.
    ports_.process.Exit(0);
}

} // namespace wendel
