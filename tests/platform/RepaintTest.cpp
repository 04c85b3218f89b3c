// What a message costs the screen: the board repaints only what it changed.

#include "SaverSession.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeProcess.h"
#include "fakes/FakeSaverPorts.h"
#include "support/TempFolder.h"
#include "EventLoopWait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace wendel {
namespace {

// Every paint of the board or one of its controls, as the area it covered
// in the board's coordinates.
class PaintLog final : public QObject {
public:
    explicit PaintLog(QWidget& board) : board_(board)
    {
        board.installEventFilter(this);
        for (QWidget* child : board.findChildren<QWidget*>()) child->installEventFilter(this);
    }

    std::map<std::string, int> count;
    QRegion area;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint) return false;
        auto* widget = static_cast<QWidget*>(watched);
        ++count[widget->objectName().toStdString()];
        const QRegion painted = static_cast<QPaintEvent*>(event)->region();
        area += widget == &board_ ? painted : painted.translated(widget->pos());
        return false;
    }

private:
    QWidget& board_;
};

TEST(Repaint, ATimeMessageRepaintsOnlyTheTimeOnce)
{
    testing::TempFolder dir;
    testing::WriteBytes(dir.File("wendelsaver.ini"), "Custom Look = 1\r\nOverlap = 2\r\nBackground = OFF\r\n");
    testing::FakeMessageBoxes boxes;
    testing::FakeProcess process;
    auto fakeLink = std::make_unique<testing::FakeLink>();
    testing::FakeLink& link = *fakeLink;
    SaverSession session(boxes, process, dir.File("wendelsaver.ini"), std::move(fakeLink));
    session.Open();
    SaverWindow& board = session.Window();
    QLabel* time = board.LabelWidget(Label::TrackTime);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&board));
    link.Deliver("plxr", "playing[\"Album\",\"Artist\",\"Title\",\"3:12\",\"\",\"\",\"1\"]");
    // The reveals of title and artist run their course first.
    ASSERT_TRUE(testing::WaitUntil([&] { return board.Caption(Label::Track) == "Title"; }, 10000));
    link.Deliver("plxr", "time[0:01]");
    QTest::qWait(100); // all that is going to be drawn, drawn

    // A time of another width, then one of the same width.
    for (const char* message : {"time[10:00]", "time[10:01]"}) {
        SCOPED_TRACE(message);
        const QRect before = time->geometry();
        PaintLog log(board);
        link.Deliver("plxr", message);
        QTest::qWait(100); // all that is going to be drawn, drawn
        EXPECT_EQ(log.count["TrackTime"], 1);
        for (const auto& [name, paints] : log.count) EXPECT_LE(paints, 1) << name;
        // The controls behind the time (the header) show through it and are
        // drawn again there; nothing else is.
        const QRect beyond = log.area.subtracted(QRegion(before) | time->geometry()).boundingRect();
        EXPECT_TRUE(beyond.isEmpty()) << "painted beyond the time: " << beyond.x() << "," << beyond.y() << " "
                                      << beyond.width() << "x" << beyond.height();
    }
}

} // namespace
} // namespace wendel
