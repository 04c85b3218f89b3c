#pragma once

#include "link/Link.h"
#include "ports/Board.h"
#include "ports/Cursor.h"
#include "ports/PictureLoader.h"
#include "ports/Timer.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace wendel::testing {

// A board that holds captions and visibility and records every caption set,
// per label, in order.
class FakeBoard final : public Board {
public:
    std::string Caption(Label label) const override
    {
        auto it = captions.find(label);
        return it == captions.end() ? std::string() : it->second;
    }
    void SetCaption(Label label, const std::string& text) override
    {
        captions[label] = text;
        captionHistory[label].push_back(text);
    }
    bool IsVisible(Label label) const override
    {
        auto it = labelVisible.find(label);
        return it != labelVisible.end() && it->second;
    }
    void SetVisible(Label label, bool visible) override { labelVisible[label] = visible; }
    // A hidden label draws nothing.
    void RepaintNow(Label label) override { repaints[label].push_back(IsVisible(label) ? Caption(label) : "(hidden)"); }

    bool IsVisible(Picture picture) const override
    {
        auto it = pictureVisible.find(picture);
        return it != pictureVisible.end() && it->second;
    }
    void SetVisible(Picture picture, bool visible) override
    {
        pictureVisible[picture] = visible;
        pictureVisibilityHistory.emplace_back(picture, visible);
    }

    int LoadCover(const std::string& path, int widthTwips, int heightTwips) override
    {
        coverLoads.push_back({path, widthTwips, heightTwips});
        auto it = coverLoadCodes.find(path);
        return it == coverLoadCodes.end() ? 0 : it->second;
    }
    void CancelCoverLoad() override { ++coverCancels; }
    void PlaceCover(const CoverPlacement& placement) override { coverPlacements.push_back(placement); }
    void ShowBackdrop() override { ++backdropsShown; }

    int WidthTwips() const override { return 9615; }
    int HeightTwips() const override { return 7215; }

    struct CoverLoad {
        std::string path;
        int widthTwips = 0;
        int heightTwips = 0;
        bool operator==(const CoverLoad&) const = default;
    };

    std::map<Label, std::string> captions;
    std::map<Label, std::vector<std::string>> captionHistory;
    std::map<Label, std::vector<std::string>> repaints; // caption at each synchronous repaint
    std::map<Label, bool> labelVisible;
    std::map<Picture, bool> pictureVisible;
    std::vector<std::pair<Picture, bool>> pictureVisibilityHistory;
    std::vector<CoverLoad> coverLoads;
    std::map<std::string, int> coverLoadCodes; // an opening failure per path; 0 otherwise
    int coverCancels = 0;
    std::vector<CoverPlacement> coverPlacements;
    int backdropsShown = 0;
};

// A timer that tests fire by hand; it records every interval it was armed with.
class FakeTimer final : public Timer {
public:
    void SetEnabled(bool on) override
    {
        enabled = on;
        if (on) armedIntervals.push_back(interval);
    }
    bool IsEnabled() const override { return enabled; }
    void SetInterval(int milliseconds) override { interval = milliseconds; }
    int Interval() const override { return interval; }

    bool enabled = false;
    int interval = 0;
    std::vector<int> armedIntervals; // the interval at each enabling
};

class FakeCursor final : public Cursor {
public:
    void Show(bool visible) override { calls.push_back(visible); }
    std::vector<bool> calls;
};

struct LinkCall {
    std::string operation; // "OpenDevice" or "SendCommand"
    std::string device;
    std::string text;      // the type or the command
    int a = 0, b = 0, c = 0;
    bool operator==(const LinkCall&) const = default;
};

// Records the commands sent; a test hands in messages through Deliver.
class FakeLink final : public Link {
public:
    void OpenDevice(const std::string& device, const std::string& type, int a, int b, int c) override
    {
        calls.push_back({"OpenDevice", device, type, a, b, c});
        if (onOpen) onOpen(device);
    }
    void SendCommand(const std::string& device, const std::string& command) override
    {
        calls.push_back({"SendCommand", device, command});
        if (onSend) onSend(command);
    }
    void SetMessageHandler(MessageHandler handler) override { handler_ = std::move(handler); }
    void SetConnectedHandler(ConnectedHandler handler) override { connectedHandler_ = std::move(handler); }

    void Deliver(const std::string& device, const std::string& message)
    {
        if (handler_) handler_(device, message);
    }
    // The link (re)connected to a jukebox.
    void Connect()
    {
        if (connectedHandler_) connectedHandler_();
    }
    std::vector<std::string> Commands() const
    {
        std::vector<std::string> sent;
        for (const LinkCall& call : calls)
            if (call.operation == "SendCommand") sent.push_back(call.text);
        return sent;
    }

    std::vector<LinkCall> calls;
    std::function<void(const std::string& device)> onOpen; // lets a test speak during an opening
    std::function<void(const std::string& command)> onSend;
private:
    MessageHandler handler_;
    ConnectedHandler connectedHandler_;
};

// Answers from a table of paths; unknown paths are missing files (53).
class FakePictureLoader final : public PictureLoader {
public:
    PictureProbe Probe(const std::string& path) override
    {
        probed.push_back(path);
        if (path.empty()) return {};
        auto it = pictures.find(path);
        return it == pictures.end() ? PictureProbe{53, 0, 0} : it->second;
    }
    std::map<std::string, PictureProbe> pictures;
    std::vector<std::string> probed;
};

} // namespace wendel::testing
