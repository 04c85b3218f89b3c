#pragma once

#include "link/Link.h"
#include "ports/Board.h"
#include "ports/Cursor.h"
#include "ports/PictureLoader.h"
#include "ports/Timer.h"

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace wendel::testing {

class FakeBoard final : public Board {
public:
    std::string Caption(Label label) const override
    {
        return captionHistory.contains(label) ? captionHistory.at(label).back() : "";
    }
    void SetCaption(Label label, const std::string& text) override { captionHistory[label].push_back(text); }
    bool IsVisible(Label label) const override { return labelVisible.contains(label) && labelVisible.at(label); }
    void SetVisible(Label label, bool visible) override { labelVisible[label] = visible; }
    // Like Qt's, a repaint draws every other pending change too.
    void RepaintNow(Label label) override
    {
        repaints[label].push_back(IsVisible(label) ? Caption(label) : "(hidden)");
        for (const auto& [other, visible] : labelVisible)
            if (visible) shownWhileRepainting[label].insert(other);
    }

    bool IsVisible(Picture p) const override { return pictureVisible.contains(p) && pictureVisible.at(p); }
    void SetVisible(Picture picture, bool visible) override
    {
        pictureVisible[picture] = visible;
        pictureVisibilityHistory.emplace_back(picture, visible);
    }

    int LoadCover(const std::string& path, int widthTwips, int heightTwips) override
    {
        coverLoads.push_back({path, widthTwips, heightTwips});
        return coverLoadCodes.contains(path) ? coverLoadCodes.at(path) : 0;
    }
    void CancelCoverLoad() override { ++coverCancels; }
    void PlaceCover(const CoverPlacement& placement) override { coverPlacements.push_back(placement); }
    void ShowBackdrop() override { ++backdropsShown; }

    int WidthTwips() const override { return 9615; }
    int HeightTwips() const override { return 7215; }

    std::map<Label, std::vector<std::string>> captionHistory, repaints;
    std::map<Label, bool> labelVisible;
    std::map<Label, std::set<Label>> shownWhileRepainting;
    std::map<Picture, bool> pictureVisible;
    std::vector<std::pair<Picture, bool>> pictureVisibilityHistory;
    std::vector<std::tuple<std::string, int, int>> coverLoads; // path, width and height in twips
    std::map<std::string, int> coverLoadCodes; // an opening failure per path
    int coverCancels = 0;
    std::vector<CoverPlacement> coverPlacements;
    int backdropsShown = 0;
};

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
    std::vector<int> armedIntervals;
};

class FakeCursor final : public Cursor {
public:
    void Show(bool visible) override { calls.push_back(visible); }
    std::vector<bool> calls;
};

struct LinkCall {
    std::string operation; // "OpenDevice" or "SendCommand"
    std::string device;
    std::string text; // the type or the command
    int a = 0, b = 0, c = 0;
    bool operator==(const LinkCall&) const = default;
};

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

    void Deliver(const std::string& device, const std::string& message) { handler_(device, message); }
    void Connect() { connectedHandler_(); }
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

// Unknown paths are missing files (53).
class FakePictureLoader final : public PictureLoader {
public:
    PictureProbe Probe(const std::string& path) override
    {
        probed.push_back(path);
        if (path.empty()) return {};
        return pictures.contains(path) ? pictures.at(path) : PictureProbe{53, 0, 0};
    }
    std::map<std::string, PictureProbe> pictures;
    std::vector<std::string> probed;
};

} // namespace wendel::testing
