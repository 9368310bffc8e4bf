// The Dialogs the running program uses: QInputDialog, QMessageBox,
// QFileDialog and the application beep. Texts are shown as plain text, never as rich text: they
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
    [[nodiscard]] bool confirm(const std::string& text) override;
    [[nodiscard]] std::string openFileName(const std::string& title) override;
    [[nodiscard]] TrialFileName openTrialName(const std::string& title) override;
    [[nodiscard]] std::string saveFileName(const std::string& title,
                                           const std::string& suggested) override;
    [[nodiscard]] std::string saveExportName(const std::string& title,
                                             const std::string& suggested) override;
    [[nodiscard]] std::string saveImageName(const std::string& title, const std::string& suggested,
                                            const std::string& extension) override;
    [[nodiscard]] std::optional<std::size_t> choose(const std::string& title,
                                                    const std::string& text,
                                                    const std::vector<std::string>& items) override;
};

} // namespace quarven
