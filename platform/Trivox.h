#pragma once

#include "TrivoxEndpoint.h"
#include "link/Link.h"
#include "link/Wire.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace wendel {

// The saver's link to the jukebox over a local socket. Calls never block and
// never fail: while the jukebox is away the link keeps trying to reach it and
// holds what it must send. On every connection it first tells the jukebox
// which devices are open and which notifications are wanted, so a jukebox
// started late or restarted picks up where the saver is.
//
// The socket is a plain Unix one watched by the event loop: Qt's local socket
// would bring Qt Network and its libraries into every start of the saver.
class Trivox final : public QObject, public Link {
public:
    static constexpr int kRetryIntervalMs = 500;
    static constexpr std::size_t kQueueLimit = 64;
    // Frames delivered per turn of the event loop, so a flood cannot freeze the board.
    static constexpr int kFramesPerTurn = 64;
    // Read in one turn at most; beyond it the jukebox waits, not our memory.
    static constexpr qint64 kReadBufferBytes = 256 * 1024;
    // A jukebox that stops reading must not make us hoard commands.
    static constexpr qint64 kWriteBacklogBytes = 1024 * 1024;

    // Later: the first attempt waits for Start, or comes as a retry would.
    enum class FirstAttempt { Now, Later };

    explicit Trivox(QString endpoint = TrivoxEndpoint(), QObject* parent = nullptr,
                    FirstAttempt first = FirstAttempt::Now);
    ~Trivox() override;

    void OpenDevice(const std::string& device, const std::string& type, int a, int b, int c) override;
    void SendCommand(const std::string& device, const std::string& command) override;
    void SetMessageHandler(MessageHandler handler) override;
    void SetConnectedHandler(ConnectedHandler handler) override;
    // Makes the first attempt now, unless one was made already.
    void Start();

    // For tests and diagnostics.
    bool IsConnected() const { return connected_; }
    std::size_t QueuedCommands() const { return queue_.size(); }
    // Received bytes and frames not yet handed on; stays bounded under any flood.
    std::size_t HeldBytes() const;

private:
    struct OpenedDevice {
        std::string device;
        std::string type;
        int a, b, c;
    };
    struct Notification {
        std::string device;
        std::string name; // the command up to its "[": one entry per notification
        std::string command;
    };
    struct Command {
        std::string device;
        std::string command;
    };

    void Connect();
    void Close();
    void OnConnected();
    void OnLost();
    void Pump();
    // Reads one chunk into the decoder: false when nothing more is there now.
    bool ReadChunk();
    void Write(const std::string& frame);
    void Flush();
    void Remember(const std::string& device, const std::string& command);

    QString endpoint_;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    std::string unsent_;
    QTimer retryTimer_;
    QTimer pumpTimer_;
    bool started_ = false;
    bool connected_ = false;
    bool delivering_ = false;
    // A connection the handler has not heard of yet; told in turn with the frames.
    bool announceConnection_ = false;

    std::vector<OpenedDevice> opened_;
    std::vector<Notification> notifications_;
    std::deque<Command> queue_;

    wire::FrameDecoder decoder_;
    MessageHandler handler_;
    ConnectedHandler connectedHandler_;
};

} // namespace wendel
