#pragma once

#include "setup/SetupView.h"
#include "setup/WendelSetup.h"

#include <QWidget>

#include <array>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace wendel {

// The setup dialog "WendelSaver Screensaver Setup". It draws the controls and
// forwards the user's changes to WendelSetup, which owns the behaviour.
class SetupWindow final : public QWidget, public SetupView {
    Q_OBJECT
public:
    SetupWindow(MessageBoxes& boxes, const Clock& clock, ProcessControl& process,
                std::string settingsPath, QWidget* parent = nullptr);

    // Form_Load: reads the settings into the controls. Call before show().
    void Load();

    int LookScrollerValue() const override;
    void SetLookScrollerValue(int value) override;
    void ShowOnlyLookImage(int image) override;
    std::string OverlapText() const override;
    void SetOverlapText(const std::string& text) override;
    int OverlapScrollerValue() const override;
    void SetOverlapScrollerValue(int value) override;
    bool BackgroundOnSelected() const override;
    void SelectBackground(bool on) override;
    std::string DefaultImageText() const override;
    void SetDefaultImageText(const std::string& text) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLookFrame();
    void BuildOverlapControls();
    void BuildBackgroundFrame();
    void BuildDefaultImageFrame();
    void SetTabOrder();
    void ConnectEvents();

    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QScrollBar* lookScroller_ = nullptr;
    std::array<QLabel*, 4> lookImages_{};
    QLineEdit* overlapInput_ = nullptr;
    QScrollBar* overlapScroller_ = nullptr;
    QRadioButton* option1_ = nullptr;
    QRadioButton* option2_ = nullptr;
    QLineEdit* defaultImageText_ = nullptr;
    // The path exactly as read. A text box holds Unicode, so bytes that are
    // not UTF-8 cannot survive the round trip; while the user leaves the
    // text alone, OK writes these bytes back instead.
    std::string defaultImageBytes_;
    QString defaultImageShown_;

    WendelSetup setup_;
};

} // namespace wendel
