#pragma once

#include <functional>
#include <string>

namespace wendel {

// The link component to the jukebox. Calls are fire-and-forget: they neither
// block nor report a failure.
class Link {
public:
    using MessageHandler = std::function<void(const std::string& device, const std::string& message)>;

    virtual ~Link() = default;
    virtual void OpenDevice(const std::string& device, const std::string& type, int a, int b, int c) = 0;
    virtual void SendCommand(const std::string& device, const std::string& command) = 0;
    // MessageArrived: raised on the GUI thread, one message at a time.
    virtual void SetMessageHandler(MessageHandler handler) = 0;
};

} // namespace wendel
