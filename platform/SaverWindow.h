#pragma once

#include "CoverDecoder.h"
#include "display/BoardLayout.h"
#include "ports/Board.h"

#include <QRect>
#include <QThreadPool>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QLabel;

namespace wendel {

// The saver window "WendelSaver": every label and picture of the board as a
// child named by its design name. It draws and forwards input; the behaviour
// lives in WendelSaverMain. Presses on the bare surface and keys reach the
// handlers below; a press over a visible label or picture stops there.
class SaverWindow final : public QWidget, public Board {
    Q_OBJECT
public:
    explicit SaverWindow(QWidget* parent = nullptr);
    ~SaverWindow() override;

    // Form_MouseDown and Form_KeyDown, of this window and of every backdrop.
    std::function<void()> onMouseDown;
    std::function<void()> onKeyDown;
    // The backdrops are the desktop's; ShowBackdrop hands over to it.
    std::function<void()> onShowBackdrop;
    // The outcome of a cover decode that LoadCover started.
    std::function<void(int code)> onCoverDecoded;
    // Once, just after the board's first paint has reached the screen.
    std::function<void()> onFirstPainted;

    std::string Caption(Label label) const override;
    void SetCaption(Label label, const std::string& text) override;
    bool IsVisible(Label label) const override;
    void SetVisible(Label label, bool visible) override;
    void RepaintNow(Label label) override;
    bool IsVisible(Picture picture) const override;
    void SetVisible(Picture picture, bool visible) override;
    int LoadCover(const std::string& path, int widthTwips, int heightTwips) override;
    void CancelCoverLoad() override;
    void PlaceCover(const CoverPlacement& placement) override;
    void ShowBackdrop() override;
    int WidthTwips() const override;
    int HeightTwips() const override;

    QLabel* LabelWidget(Label label) const;
    QLabel* PictureWidget(Picture picture) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void BuildLabels();
    void BuildPictures();
    void StackControls();
    void SettleHeavyFont();
    void FitToCaption(Label label);
    void ShowDecodedCover(int code, const QImage& picture);

    struct LabelSlot {
        QLabel* widget = nullptr;
        board_layout::Align align = board_layout::Align::Left;
        bool autoSize = false;
        double anchorX = 0;   // pixels: the left edge, the right edge or the centre
        QRect dirty;          // area drawn by earlier captions, not yet redrawn
        bool fitPending = false; // the design caption, not yet measured
    };
    std::map<Label, LabelSlot> labels_;
    std::map<Picture, QLabel*> pictures_;
    bool firstPaintDone_ = false;
    bool heavyFontSettled_ = false;
    QThreadPool coverThreads_;     // outlives the decoder, which waits for it
    CoverDecoder coverDecoder_{coverThreads_, this};
};

} // namespace wendel
