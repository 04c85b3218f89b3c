#include "LinkClient.h"

namespace wendel::e2e {

bool LinkClient::Connect(const QString& endpoint, Millis timeout)
{
    return PollUntil(timeout, [&] {
        socket_.connectToServer(endpoint);
        if (socket_.waitForConnected(200)) return true;
        socket_.abort();
        return false;
    }, Millis(50));
}

void LinkClient::Handshake()
{
    Send("OPEN\tplx\ttype=devtx\t1\t1\t0");
    Send("OPEN\tplxr\ttype=devrx\t1\t1\t0");
    Send("SEND\tplx\tnotify_playing_item[on]");
    Send("SEND\tplx\tnotify_playing_timecode[on]");
}

void LinkClient::Send(const QByteArray& frame)
{
    socket_.write(frame + '\n');
    socket_.waitForBytesWritten(1000);
}

void LinkClient::Drain(Millis wait)
{
    // Without an event loop only a wait moves bytes from the kernel into the socket.
    if (socket_.bytesAvailable() == 0 && socket_.state() == QLocalSocket::ConnectedState)
        socket_.waitForReadyRead(static_cast<int>(wait.count()));
    received_ += socket_.readAll();
}

QList<QByteArray> LinkClient::Lines()
{
    Drain(Millis(0));
    QList<QByteArray> lines = received_.split('\n');
    lines.removeLast(); // what follows the last LF
    return lines;
}

bool LinkClient::WaitForLine(const QByteArray& line, Millis timeout, qsizetype from)
{
    return WaitForPrefix(line + '\n', timeout, from).has_value();
}

std::optional<QByteArray> LinkClient::WaitForPrefix(const QByteArray& prefix, Millis timeout, qsizetype from)
{
    // A prefix ending in LF asks for the whole line.
    const bool whole = prefix.endsWith('\n');
    const QByteArray wanted = whole ? prefix.chopped(1) : prefix;
    std::optional<QByteArray> found;
    PollUntil(timeout, [&] {
        Drain(Millis(20));
        const QList<QByteArray> lines = Lines();
        for (qsizetype i = from; i < lines.size(); ++i) {
            if (whole ? lines[i] == wanted : lines[i].startsWith(wanted)) {
                found = lines[i];
                return true;
            }
        }
        return false;
    }, Millis(0));
    return found;
}

} // namespace wendel::e2e
