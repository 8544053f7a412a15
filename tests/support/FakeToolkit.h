// A toolkit double: records every message box (with the pointer showing at
// that moment) and every pointer change, and answers from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Toolkit.h"

namespace testing_support {

struct MessageBoxCall {
    std::string prompt;
    int buttons;
    std::string title;
    int pointer;  // the form's mouse pointer while the box was up
};

class FakeToolkit : public platform::ToolkitState {
public:
    // Answers for the next message boxes, in order; vbOK once they run out.
    void AnswerNext(int answer) { answers_.push_back(answer); }

    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override {
        calls.push_back({prompt, buttons, title, MousePointer()});
        if (onMessageBox) onMessageBox(calls.back());
        if (answers_.empty()) return platform::vbOK;
        int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    void SetMousePointer(int pointer) override {
        ToolkitState::SetMousePointer(pointer);
        pointerHistory.push_back(pointer);
    }

    std::vector<MessageBoxCall> calls;
    std::vector<int> pointerHistory;
    // Runs while a message box is "on screen" (for example to inspect the
    // database while the cascade's failure message is up).
    std::function<void(const MessageBoxCall&)> onMessageBox;

private:
    std::deque<int> answers_;
};

}  // namespace testing_support
