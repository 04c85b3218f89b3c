#pragma once

#include "ports/Clock.h"
#include "ports/MessageBoxes.h"
#include "ports/ProcessControl.h"
#include "settings/SaverSettings.h"
#include "setup/SetupView.h"

#include <string>

namespace wendel {

inline constexpr int kLookTop = 1;
inline constexpr int kLookBottom = 4;
inline constexpr int kOverlapTop = 12;
inline constexpr int kOverlapBottom = 0;

// The setup dialog's behaviour: loading, the overlap check, OK and Cancel.
// Every way out ends the process.
class WendelSetup final {
public:
    WendelSetup(SetupView& view, MessageBoxes& boxes, const Clock& clock, ProcessControl& process,
                std::string settingsPath);

    void Load();

    // Events forwarded by the platform after the user changed a control.
    void LookScrollerChanged();
    void OverlapInputChanged();
    void OverlapScrollerChanged();
    void OkClicked();
    void CancelClicked();
    void CloseRequested();

    void ShowLookPreview(int look);

private:
    void SetLookScroller(int value);
    void SetOverlapText(const std::string& text);
    void SetOverlapScroller(int value);
    void ReplaceInvalidOverlap(int replacement);
    SettingsToWrite ControlValues() const;

    SetupView& view_;
    MessageBoxes& boxes_;
    const Clock& clock_;
    ProcessControl& process_;
    std::string settingsPath_;
};

} // namespace wendel
