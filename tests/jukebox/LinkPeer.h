#pragma once

// A saver's end of the link for the tests of every jukebox (and what they all include):
// it sends frames and keeps each line the jukebox sends back. Waits run the event loop.

#include "EventLoopWait.h"

#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace jukebox::testing {

inline QByteArray Msg(const QByteArray& message) { return "MSG\tplxr\t" + message; }

// The text of a jukebox's log file once it holds `text`, or as it is after `ms`.
inline QString LogText(const QString& path, const QString& text = {}, int ms = 8000)
{
    QString log;
    wendel::testing::WaitUntil([&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && (log = QString::fromUtf8(file.readAll())).contains(text);
    }, ms);
    return log;
}

class LinkPeer {
public:
    // Tries again until the jukebox listens.
    bool Connect(const QString& endpoint)
    {
        return wendel::testing::WaitUntil([&] {
            if (socket.state() == QLocalSocket::ConnectedState) return true;
            socket.abort();
            socket.connectToServer(endpoint);
            return socket.waitForConnected(200);
        }, 8000);
    }
    void Send(const QByteArray& bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    void Handshake()
    {
        Send("OPEN\tplx\ttype=devtx\t1\t1\t0\nOPEN\tplxr\ttype=devrx\t1\t1\t0\nSEND\tplx\tnotify_playing_item[on]\n"
             "SEND\tplx\tnotify_playing_timecode[on]\n");
    }
    QList<QByteArray> Lines()
    {
        received_ += socket.readAll();
        QList<QByteArray> lines = received_.split('\n');
        lines.removeLast(); // the unfinished line
        return lines;
    }
    // The index of the first line from `from` on that starts with `prefix`, or -1.
    qsizetype WaitFor(const QByteArray& prefix, qsizetype from = 0, int ms = 8000)
    {
        qsizetype at = -1;
        wendel::testing::WaitUntil([&] {
            const QList<QByteArray> lines = Lines();
            for (qsizetype i = from; i < lines.size() && at < 0; ++i)
                if (lines[i].startsWith(prefix)) at = i;
            return at >= 0;
        }, ms);
        return at;
    }
    QByteArray Line(qsizetype index) { return Lines().value(index); }
    std::string Describe() { return Lines().join('\n').toStdString(); }

    QLocalSocket socket;

private:
    QByteArray received_;
};

} // namespace jukebox::testing
