#pragma once

#include "ports/MessageBoxes.h"

#include <deque>
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

    std::vector<MessageBoxRequest> shown;
    std::deque<MessageAnswer> answers;
};

} // namespace wendel::testing
