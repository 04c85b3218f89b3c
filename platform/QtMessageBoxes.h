#pragma once

#include "ports/MessageBoxes.h"

namespace wendel {

// Modal QMessageBox with the request's text, title, icon and buttons.
class QtMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer Show(const MessageBoxRequest& request) override;
};

} // namespace wendel
