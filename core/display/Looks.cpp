#include "app/WendelSaverMain.h"

namespace wendel {

namespace {

struct Look {
    Picture header;
    Picture footer;
};

constexpr Look kLooks[] = {
    {Picture::DefaultHeader, Picture::DefaultFooter},
    {Picture::Header1, Picture::Footer1},
    {Picture::Header2, Picture::Footer2},
    {Picture::Header3, Picture::Footer3},
};

} // namespace

void WendelSaverMain::ApplyLook(std::int32_t look)
{
    // An unknown look number (a hand-edited file) shows look 1.
    const Look& chosen = (look >= 1 && look <= 4) ? kLooks[look - 1] : kLooks[0];
    ports_.board.SetVisible(chosen.header, true);
    ports_.board.SetVisible(chosen.footer, true);
}

} // namespace wendel
