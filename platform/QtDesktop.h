#pragma once

#include "BackdropSurface.h"
#include "X11Windows.h"
#include "ports/Desktop.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QScreen;

namespace wendel {

// The saver's windows on Qt's screens. It reports every change of the
// screens through `onScreensChanged`, once the change has settled.
class QtDesktop final : public QObject, public Desktop {
    Q_OBJECT
public:
    // `board` is the board's widget. `foreignWindow` is a window of another
    // program to draw into; 0 for none, and ignored when it does not exist.
    QtDesktop(QWidget& board, WId foreignWindow);
    ~QtDesktop() override;

    std::function<void()> onScreensChanged;
    std::function<void()> onMouseDown;
    std::function<void()> onKeyDown;
    std::function<void()> onKeyboardMaybeLost;

    std::vector<ScreenInfo> Screens() const override;
    ScreenKey PrimaryScreen() const override;
    std::optional<PixelRect> ForeignWindow() const override;
    void ShowBackdrop(ScreenKey screen, const PixelRect& area) override;
    void RemoveBackdrop(ScreenKey screen) override;
    void PlaceBoard(BoardHost host, ScreenKey screen, PixelPoint at) override;
    GrabResult GrabKeyboard() override;
    void ReleaseKeyboard() override;

    // The backdrops by screen, for tests.
    const std::map<ScreenKey, std::unique_ptr<BackdropSurface>>& Backdrops() const { return backdrops_; }
    QScreen* ScreenOf(ScreenKey key) const;

private:
    // The window the keyboard is grabbed on: the board's own or its host.
    WId GrabHolder() const;
    ScreenKey KeyOf(QScreen* screen) const;
    void Watch(QScreen* screen);
    void ChangeSoon();
    void HostBoardIn(QWindow* host, PixelPoint at);

    QWidget& board_;
    std::unique_ptr<QWindow> foreign_;
    std::optional<PixelRect> foreignArea_;
    mutable QHash<QScreen*, ScreenKey> keys_;
    mutable ScreenKey nextKey_ = 1;
    std::map<ScreenKey, std::unique_ptr<BackdropSurface>> backdrops_;
    bool boardAlone_ = false;
    bool changePending_ = false;
    x11::GrabWatch grabWatch_;
};

// Notes for the person who started the program, on standard error.
class StderrDiagnostics final : public Diagnostics {
public:
    void Note(const std::string& line) override;
};

} // namespace wendel
