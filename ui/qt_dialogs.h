// The Dialogs the running program uses: QInputDialog, QMessageBox and the
// application beep. Texts are shown as plain text, never as rich text: they
// carry the user's rejected answers verbatim.
#pragma once

#include "entry/dialogs.h"

namespace quarven {

class QtDialogs final : public Dialogs {
public:
    [[nodiscard]] std::string prompt(const std::string& text, const std::string& title,
                                     const std::string& defaultAnswer,
                                     std::optional<PromptPosition> position) override;
    void message(const std::string& text) override;
    void beep() override;
};

} // namespace quarven
