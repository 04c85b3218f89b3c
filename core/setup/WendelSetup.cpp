#include "setup/WendelSetup.h"

#include "text/Numbers.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace wendel {

namespace {

// A look outside the scroll bar's range opens as look 1, so OK writes a valid look.
int LookForScroller(std::int32_t look)
{
    return (look >= kLookTop && look <= kLookBottom) ? look : kLookTop;
}

// Nearest whole second within the scroll bar's ends; a value past an end
// (even an infinite one) stops at that end.
int OverlapForScroller(double seconds)
{
    if (std::isnan(seconds)) return kOverlapBottom;
    const double clamped = std::clamp(seconds, double(kOverlapBottom), double(kOverlapTop));
    return static_cast<int>(RoundHalfEven(clamped));
}

} // namespace

WendelSetup::WendelSetup(SetupView& view, MessageBoxes& boxes, const Clock& clock,
                         ProcessControl& process, std::string settingsPath)
    : view_(view), boxes_(boxes), clock_(clock), process_(process),
      settingsPath_(std::move(settingsPath))
{
}

void WendelSetup::Load()
{
    const SaverSettings settings = ReadSettings(settingsPath_, boxes_);

    SetLookScroller(LookForScroller(settings.CustomLook));
    ShowLookPreview(settings.CustomLook);

    SetOverlapText(SignedText(settings.Overlap));
    SetOverlapScroller(OverlapForScroller(settings.Overlap));

    view_.SelectBackground(BackgroundIsOn(settings));

    view_.SetDefaultImageText(settings.DefaultImage.empty() ? kNoDefaultImagePlaceholder
                                                            : settings.DefaultImage);
}

void WendelSetup::ShowLookPreview(int look)
{
    view_.ShowOnlyLookImage((look >= 2 && look <= 4) ? look : 1);
}

void WendelSetup::LookScrollerChanged()
{
    ShowLookPreview(view_.LookScrollerValue());
}

void WendelSetup::OverlapInputChanged()
{
    const double value = NumericValue(view_.OverlapText());
    if (value > kOverlapTop) {
        ReplaceInvalidOverlap(kOverlapTop);
    } else if (value < kOverlapBottom) {
        ReplaceInvalidOverlap(kOverlapBottom);
    } else {
        SetOverlapScroller(static_cast<int>(RoundHalfEven(value)));
    }
}

void WendelSetup::ReplaceInvalidOverlap(int replacement)
{
    boxes_.Show({"Overlap has a value between 0 and 12", "Invalid Entry", MessageIcon::Exclamation,
                 MessageButtons::Ok});
    SetOverlapText(std::to_string(replacement));
}

void WendelSetup::OverlapScrollerChanged()
{
    SetOverlapText(std::to_string(view_.OverlapScrollerValue()));
}

void WendelSetup::OkClicked()
{
    WriteSettings(settingsPath_, ControlValues(), clock_, boxes_);
    process_.Exit(0);
}

void WendelSetup::CancelClicked()
{
    const MessageAnswer answer =
        boxes_.Show({"Changes will not be saved. Do you want to continue?", "Cancel Changes",
                     MessageIcon::None, MessageButtons::YesNo});
    if (answer == MessageAnswer::Yes) process_.Exit(0);
}

void WendelSetup::CloseRequested()
{
    process_.Exit(0);
}

// Change handlers run only when the value really changes, and run before the
// setter returns, so the overlap chain stops once the number stays put.
void WendelSetup::SetLookScroller(int value)
{
    if (view_.LookScrollerValue() == value) return;
    view_.SetLookScrollerValue(value);
    LookScrollerChanged();
}

void WendelSetup::SetOverlapText(const std::string& text)
{
    if (view_.OverlapText() == text) return;
    view_.SetOverlapText(text);
    OverlapInputChanged();
}

void WendelSetup::SetOverlapScroller(int value)
{
    if (view_.OverlapScrollerValue() == value) return;
    view_.SetOverlapScrollerValue(value);
    OverlapScrollerChanged();
}

SettingsToWrite WendelSetup::ControlValues() const
{
    return {view_.LookScrollerValue(), view_.OverlapScrollerValue(), view_.BackgroundOnSelected(),
            view_.DefaultImageText()};
}

} // namespace wendel
