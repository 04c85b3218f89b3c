#pragma once

#include "ports/MessageBoxes.h"

#include <deque>
#include <string>
#include <tuple>
#include <vector>

namespace wendel::testing {

// Records every box; answers from the queue, then Ok (Yes for a Yes/No box).
class FakeMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer Show(const MessageBoxRequest& request) override
    {
        shown.push_back(request);
        if (answers.empty()) return request.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    // Text, title, icon and buttons of each box shown, compared whole.
    using Box = std::tuple<std::string, std::string, MessageIcon, MessageButtons>;
    std::vector<Box> Shown() const
    {
        std::vector<Box> boxes;
        for (const MessageBoxRequest& b : shown) boxes.emplace_back(b.text, b.title, b.icon, b.buttons);
        return boxes;
    }

    std::vector<MessageBoxRequest> shown;
    std::deque<MessageAnswer> answers;
};

} // namespace wendel::testing
