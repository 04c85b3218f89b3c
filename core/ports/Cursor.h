#pragma once

namespace wendel {

// The mouse cursor's show count: Show(false) hides it, Show(true) shows it again.
class Cursor {
public:
    virtual ~Cursor() = default;
    virtual void Show(bool visible) = 0;
};

} // namespace wendel
