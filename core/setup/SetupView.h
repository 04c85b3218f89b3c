#pragma once

#include <string>

namespace wendel {

// The setup dialog's controls as its behaviour sees them. Setters change the
// control only; they never call back into WendelSetup. The behaviour runs the
// controls' Change handlers itself, so the order of events is the same on
// every platform.
class SetupView {
public:
    virtual ~SetupView() = default;

    // Look scroll bar: 1 at its top end, 4 at its bottom end.
    virtual int LookScrollerValue() const = 0;
    virtual void SetLookScrollerValue(int value) = 0;
    // Shows preview 1 to 4, hiding the other three.
    virtual void ShowOnlyLookImage(int image) = 0;

    virtual std::string OverlapText() const = 0;
    virtual void SetOverlapText(const std::string& text) = 0;
    // Overlap scroll bar: 12 at its top end, 0 at its bottom end.
    virtual int OverlapScrollerValue() const = 0;
    virtual void SetOverlapScrollerValue(int value) = 0;

    virtual bool BackgroundOnSelected() const = 0;
    virtual void SelectBackground(bool on) = 0;

    virtual std::string DefaultImageText() const = 0;
    virtual void SetDefaultImageText(const std::string& text) = 0;
};

} // namespace wendel
