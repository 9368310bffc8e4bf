// The modal prompt, the message box and the beep: the only ways the program
// talks to the user outside its windows. The windows receive one Dialogs at
// construction; the running program passes the Qt one, tests a scripted one
// that answers from a queue and records every title, text and position.
#pragma once

#include <optional>
#include <string>

namespace quarven {

// Where a prompt appears: its outer left and top edges, in twips (1/1440
// inch) from the screen's top-left corner.
struct PromptPosition {
    int left = 0;
    int top = 0;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Modal; the text on OK, the empty text on Cancel. Without a position the
    // prompt goes where the toolkit places it. Texts may break lines with a
    // carriage return alone.
    [[nodiscard]] virtual std::string prompt(const std::string& text, const std::string& title,
                                             const std::string& defaultAnswer,
                                             std::optional<PromptPosition> position) = 0;
    // Modal, OK only, captioned with the application title.
    virtual void message(const std::string& text) = 0;
    virtual void beep() = 0;
};

} // namespace quarven
