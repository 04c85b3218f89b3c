#pragma once

#include "X11Windows.h"

#include <QWindow>

#include <functional>
#include <memory>

class QBackingStore;

namespace wendel {

// WendelSaverBackground: a black, borderless surface over one whole screen,
// above other windows and out of the task bar and pager. On X11 the black is
// the window's background pixel and Qt never paints it; elsewhere it is
// painted. A press anywhere on it, or a key, ends the saver.
class BackdropSurface final : public QWindow {
    Q_OBJECT
public:
    BackdropSurface(QScreen* screen, std::function<void()> onMouseDown, std::function<void()> onKeyDown);
    ~BackdropSurface() override;

    // Full screen on its screen, whose area is `area`.
    void ShowOver(const QRect& area);
    // Whether the black is painted by us (false on X11).
    bool PaintsItself() const { return backingStore_ != nullptr; }

protected:
    bool event(QEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PaintBlack();
    void MarkForTheWindowSystem();

    std::function<void()> onMouseDown_;
    std::function<void()> onKeyDown_;
    std::unique_ptr<QBackingStore> backingStore_;
    x11::SaverStates states_; // asked before the native window is made
};

} // namespace wendel
