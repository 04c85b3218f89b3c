#pragma once

#include <QWidget>

#include <functional>

class QScreen;

namespace wendel {

// WendelSaverBackground: a black, borderless window over one whole screen,
// kept out of the task bar. A press anywhere on it, or a key, ends the saver.
class BackgroundWindow final : public QWidget {
    Q_OBJECT
public:
    BackgroundWindow(QScreen* screen, std::function<void()> onMouseDown, std::function<void()> onKeyDown);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::function<void()> onMouseDown_;
    std::function<void()> onKeyDown_;
};

} // namespace wendel
