#include "QtDesktop.h"

#include "X11Windows.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace wendel {

namespace {

PixelRect ToPixels(const QRect& r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

} // namespace

QtDesktop::QtDesktop(QWidget& board, WId foreignWindow)
    : board_(board),
      grabWatch_([this] { return GrabHolder(); },
                 [this] {
                     // Not from inside Qt's event dispatch.
                     QTimer::singleShot(0, this, [this] {
                         if (onKeyboardMaybeLost) onKeyboardMaybeLost();
                     });
                 })
{
    if (foreignWindow != 0) {
        if (const std::optional<QRect> area = x11::ForeignGeometry(foreignWindow)) {
            foreign_.reset(QWindow::fromWinId(foreignWindow));
            foreignArea_ = ToPixels(*area);
            // The black around the board is the host window's own background.
            x11::SetBlackBackground(foreignWindow);
        } else {
            std::fprintf(stderr,
                         "wendelsaver: XSCREENSAVER_WINDOW names no window (0x%lx); using our own "
                         "windows\n",
                         static_cast<unsigned long>(foreignWindow));
        }
    }
    for (QScreen* screen : QGuiApplication::screens()) Watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        Watch(screen);
        ChangeSoon();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen* screen) {
        // Forget it now: a screen made later may get the same address.
        keys_.remove(screen);
        ChangeSoon();
    });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { ChangeSoon(); });
}

QtDesktop::~QtDesktop()
{
    // The board's window may live inside a backdrop or the host: take it out
    // before they go, so it is not destroyed behind the widget's back.
    if (QWindow* window = board_.windowHandle(); window && window->parent()) window->setParent(nullptr);
}

void QtDesktop::Watch(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, [this] { ChangeSoon(); });
}

void QtDesktop::ChangeSoon()
{
    // Qt moves windows off a removed screen after telling us; act once it has.
    if (changePending_) return;
    changePending_ = true;
    QTimer::singleShot(0, this, [this] {
        changePending_ = false;
        if (onScreensChanged) onScreensChanged();
    });
}

ScreenKey QtDesktop::KeyOf(QScreen* screen) const
{
    auto it = keys_.find(screen);
    if (it == keys_.end()) it = keys_.insert(screen, nextKey_++);
    return it.value();
}

QScreen* QtDesktop::ScreenOf(ScreenKey key) const
{
    for (auto it = keys_.cbegin(); it != keys_.cend(); ++it) {
        if (it.value() == key) return it.key();
    }
    return nullptr;
}

std::vector<ScreenInfo> QtDesktop::Screens() const
{
    std::vector<ScreenInfo> screens;
    for (QScreen* screen : QGuiApplication::screens()) {
        screens.push_back({KeyOf(screen), ToPixels(screen->geometry())});
    }
    return screens;
}

ScreenKey QtDesktop::PrimaryScreen() const
{
    QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? KeyOf(primary) : 0;
}

std::optional<PixelRect> QtDesktop::ForeignWindow() const
{
    return foreignArea_;
}

void QtDesktop::ShowBackdrop(ScreenKey key, const PixelRect& area)
{
    std::unique_ptr<BackdropSurface>& backdrop = backdrops_[key];
    if (!backdrop) {
        const auto forwardPress = [this] {
            if (onMouseDown) onMouseDown();
        };
        const auto forwardKey = [this] {
            if (onKeyDown) onKeyDown();
        };
        backdrop = std::make_unique<BackdropSurface>(ScreenOf(key), forwardPress, forwardKey);
    }
    backdrop->ShowOver(QRect(area.x, area.y, area.width, area.height));
}

void QtDesktop::RemoveBackdrop(ScreenKey key)
{
    const auto it = backdrops_.find(key);
    if (it == backdrops_.end()) return;
    // A window's children go with it; the board must never be one of them.
    if (QWindow* window = board_.windowHandle(); window && window->parent() == it->second.get()) {
        window->setParent(nullptr);
    }
    backdrops_.erase(it);
}

void QtDesktop::PlaceBoard(BoardHost host, ScreenKey key, PixelPoint at)
{
    switch (host) {
    case BoardHost::Backdrop:
        HostBoardIn(backdrops_.at(key).get(), at);
        return;
    case BoardHost::ForeignWindow:
        HostBoardIn(foreign_.get(), at);
        return;
    case BoardHost::OwnWindow:
        break;
    }
    if (!boardAlone_) {
        boardAlone_ = true;
        board_.setWindowFlag(Qt::WindowStaysOnTopHint);
        x11::MarkSaverWindow(board_.winId(), false);
    }
    board_.move(at.x, at.y);
    board_.show();
    board_.raise();
    board_.activateWindow();
}

void QtDesktop::HostBoardIn(QWindow* host, PixelPoint at)
{
    // The board keeps its own window, now a child of the host: it draws
    // exactly as it does on its own. Placed before its native window is
    // made, it is made in place: moving a made window waits on the server.
    if (!board_.windowHandle()) board_.move(at.x, at.y);
    board_.winId();
    QWindow* window = board_.windowHandle();
    if (window->parent() != host) {
        // Shown afresh in its new host: Qt may have remade the old host's
        // native window, and the board's with it, when a screen went away.
        board_.hide();
        window->setParent(host);
    }
    // In the host's coordinates; QWidget::move would take them for the
    // desktop's.
    window->setPosition(at.x, at.y);
    board_.show();
    // A widget moved on purpose is shown where the widget last was, and in a
    // new host that place is stale: from now on the host's place counts.
    board_.setAttribute(Qt::WA_Moved, false);
}

WId QtDesktop::GrabHolder() const
{
    const QWindow* window = board_.windowHandle();
    if (!window) return 0;
    return window->parent() ? window->parent()->winId() : window->winId();
}

GrabResult QtDesktop::GrabKeyboard()
{
    const WId holder = GrabHolder();
    return holder ? x11::GrabKeyboard(holder) : GrabResult::NotViewable;
}

void QtDesktop::ReleaseKeyboard()
{
    x11::UngrabKeyboard();
}

void StderrDiagnostics::Note(const std::string& line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

} // namespace wendel
