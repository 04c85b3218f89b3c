#pragma once

#include "Waiting.h"

#include <QByteArray>
#include <QList>
#include <QLocalSocket>
#include <QString>

namespace wendel::e2e {

// A saver's end of the link played by the test: it sends the saver's frames
// and keeps every line the jukebox sends back.
class LinkClient {
public:
    bool Connect(const QString& endpoint, Millis timeout);
    // The saver's four opening frames.
    void Handshake();
    void Send(const QByteArray& frame);

    // True once a line equal to `line` (no LF) arrived after line `from`.
    bool WaitForLine(const QByteArray& line, Millis timeout, qsizetype from = 0);
    // True once a line beginning with `prefix` arrived after line `from`; the line.
    std::optional<QByteArray> WaitForPrefix(const QByteArray& prefix, Millis timeout, qsizetype from = 0);
    // The lines so far, without their LF.
    QList<QByteArray> Lines();
    qsizetype Mark() { return Lines().size(); }
    QString Describe() { return QString::fromUtf8(Lines().join('\n')); }
    // True when the jukebox closed the connection.
    bool Closed() const { return socket_.state() != QLocalSocket::ConnectedState; }

private:
    void Drain(Millis wait);

    QLocalSocket socket_;
    QByteArray received_;
};

} // namespace wendel::e2e
