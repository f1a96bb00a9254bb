// A message service for tests: it records every box and answers from a
// script, in order; once the script is used up each box gets its default
// answer. It is installed while it lives.
#pragma once

#include <deque>
#include <vector>

#include "viewer/components/message_service.h"

namespace brevant::testing {

class ScriptedMessages : public MessageService {
public:
    ScriptedMessages() : previous_(setMessageService(this)) {}
    ~ScriptedMessages() override { setMessageService(previous_); }
    ScriptedMessages(const ScriptedMessages&) = delete;
    ScriptedMessages& operator=(const ScriptedMessages&) = delete;

    std::vector<MessageRequest> shown;
    std::deque<MessageAnswer> answers;

    MessageAnswer show(const MessageRequest& request) override {
        shown.push_back(request);
        if (answers.empty())
            return request.defaultAnswer;
        MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    // The texts shown, in order.
    std::vector<QString> texts() const {
        std::vector<QString> result;
        for (const MessageRequest& r : shown)
            result.push_back(r.text);
        return result;
    }

private:
    MessageService* previous_;
};

}  // namespace brevant::testing
