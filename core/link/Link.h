#pragma once

#include <functional>
#include <string>

namespace wendel {

// The link component to the jukebox. Calls are fire-and-forget: they neither
// block nor report a failure.
class Link {
public:
    using MessageHandler = std::function<void(const std::string& device, const std::string& message)>;
    using ConnectedHandler = std::function<void()>;

    virtual ~Link() = default;
    virtual void OpenDevice(const std::string& device, const std::string& type, int a, int b, int c) = 0;
    virtual void SendCommand(const std::string& device, const std::string& command) = 0;
    // MessageArrived: raised on the GUI thread, one message at a time.
    virtual void SetMessageHandler(MessageHandler handler) = 0;
    // Raised on the GUI thread for every connection to the jukebox, the first
    // and every later one, after the messages of any earlier connection and
    // before the first of the new one. A jukebox that restarted knows nothing
    // of what it said before, so the saver starts its cycle again.
    virtual void SetConnectedHandler(ConnectedHandler handler) = 0;
};

} // namespace wendel
