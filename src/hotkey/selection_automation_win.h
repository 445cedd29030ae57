// Asks the control with the keyboard focus, through UI Automation, for the
// text it has selected, where it offers the text pattern. The question runs
// on a thread of its own: UI Automation talks to the other program, which may
// be slow or hung, and the window's thread must never wait for it. The
// answer is looked at (answer()) while the hotkey's press goes on; one that
// comes too late is not waited for, and while a question hangs no other is
// asked.
#pragma once

#include <windows.h>

#include <string_view>

namespace velvane {

class SelectionQuestion {
public:
    enum class Answer {
        Pending,      // not answered yet
        Unavailable,  // no text pattern there (or no UI Automation at all): copy instead
        Selection,    // the control says what is selected (text(); empty when nothing is)
    };

    SelectionQuestion() = default;
    SelectionQuestion(const SelectionQuestion&) = delete;
    SelectionQuestion& operator=(const SelectionQuestion&) = delete;
    ~SelectionQuestion();

    // Asks the focused control of the program with this process identifier;
    // false when no question could be asked (the one before still hangs).
    [[nodiscard]] bool ask(DWORD process_id);
    Answer answer() const;
    // The start of the selection; valid until the next ask().
    std::u16string_view text() const;

private:
    struct Shared;
    Shared* shared_ = nullptr;
};

}  // namespace velvane
