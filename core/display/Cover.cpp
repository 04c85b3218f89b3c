#include "app/WendelSaverMain.h"
#include "display/CoverFit.h"
#include "display/Twips.h"
#include "ports/FileError.h"
#include "text/Numbers.h"

namespace wendel {

namespace {

constexpr int kDefaultImageRetryMs = 500;

bool IsExpectedFailure(int code)
{
    return code == kFileNotFound || code == kPermissionDenied;
}

} // namespace

std::int32_t WendelSaverMain::ShowAlbumCover(const std::string& path)
{
    if (path == LastCoverPath && CoverRetryCount == 0) return 0;

    // A newer cover wins: the decode of an older one never shows.
    if (CoverDecoding) {
        ports_.board.CancelCoverLoad();
        CoverDecoding = false;
    }
    ports_.board.SetVisible(Picture::AlbumCover, false);
    CoverLoadError = 0;

    // The load: learn the natural size from the header, refuse what must not
    // be decoded, then open the file and decode it once, straight at the
    // fitted size, off the GUI thread. The cover shows when CoverDecoded comes.
    const PictureProbe probe = ports_.pictures.Probe(path);
    if (IsExpectedFailure(probe.code)) {
        CoverLoadError = probe.code;
    } else if (probe.code != 0) {
        FailCover(probe.code);
        return 0;
    } else {
        if (!path.empty() && !IsDecodablePictureSize(probe.width, probe.height)) {
            FailCover(kUnreadablePictureCode);
            return 0;
        }
        const CoverSize fitted = FitCover(std::int64_t{probe.width} * kTwipsPerPixel,
                                          std::int64_t{probe.height} * kTwipsPerPixel);
        const int opened = ports_.board.LoadCover(path, fitted.width, fitted.height);
        if (IsExpectedFailure(opened)) {
            CoverLoadError = opened; // the file went away or was locked since the probe
        } else if (opened != 0) {
            FailCover(opened);
            return 0;
        } else {
            decodingCoverPlace_ = CentreCover(fitted, ports_.board.WidthTwips(), ports_.board.HeightTwips());
            CoverDecoding = true;
        }
    }

    LastCoverPath = path;
    return CoverLoadError;
}

void WendelSaverMain::CoverDecoded(std::int32_t code)
{
    if (!CoverDecoding) return; // dropped for a newer cover: nothing of it may show
    CoverDecoding = false;
    if (code != 0) {
        FailCover(code);
        return;
    }
    ports_.board.SetVisible(Label::No_Image, false);
    ports_.board.PlaceCover(decodingCoverPlace_);
    ports_.board.SetVisible(Picture::AlbumCover, true);
}

void WendelSaverMain::ImageErrorTimerTick()
{
    Timer& timer = ports_.imageErrorTimer;
    timer.SetEnabled(false);
    const std::int32_t code = ShowAlbumCover(CoverPath);
    if (code == 0) return;
    if (code == kFileNotFound) {
        ports_.board.SetVisible(Label::No_Image, true);
        return;
    }
    if (CoverRetryCount >= CoverRetryLimit) {
        CoverPath = settings_.DefaultImage;
        CoverRetryCount = 1;
        timer.SetInterval(kDefaultImageRetryMs);
    } else {
        ++CoverRetryCount;
    }
    timer.SetEnabled(true);
}

void WendelSaverMain::FailCover(std::int32_t code)
{
    ports_.cursor.Show(true);
    ports_.boxes.Show({"Encountered Unknown Error " + SignedText(code) + "!", "WendelSaver",
                       MessageIcon::Critical, MessageButtons::Ok});
    EndSaver();
}

} // namespace wendel
