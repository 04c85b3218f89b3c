#pragma once

#include "setup/SetupView.h"

#include <string>

namespace wendel::testing {

// The dialog's controls as plain values, starting as the design leaves them.
class FakeSetupView final : public SetupView {
public:
    int LookScrollerValue() const override { return look; }
    void SetLookScrollerValue(int value) override { look = value; }
    void ShowOnlyLookImage(int image) override { shownLookImage = image; }
    std::string OverlapText() const override { return overlapText; }
    void SetOverlapText(const std::string& text) override { overlapText = text; }
    int OverlapScrollerValue() const override { return overlapScroller; }
    void SetOverlapScrollerValue(int value) override { overlapScroller = value; }
    bool BackgroundOnSelected() const override { return backgroundOn; }
    void SelectBackground(bool on) override { backgroundOn = on; }
    std::string DefaultImageText() const override { return defaultImage; }
    void SetDefaultImageText(const std::string& text) override { defaultImage = text; }

    int look = 1;
    int shownLookImage = 0; // 0: all four hidden
    std::string overlapText;
    int overlapScroller = 12;
    bool backgroundOn = false;
    std::string defaultImage;
};

} // namespace wendel::testing
