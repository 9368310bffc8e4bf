// The modal prompt, the message box, the beep and the file and choice
// dialogs: the only ways the program talks to the user outside its windows. The windows receive one
// Dialogs at construction; the running program passes the Qt one, tests a scripted one that answers
// from a queue and records every title, text and position.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quarven {

// Where a prompt appears: its outer left and top edges, in twips (1/1440
// inch) from the screen's top-left corner.
struct PromptPosition {
    int left = 0;
    int top = 0;
};

// A trial to open, and whether the user chose its dates read month first.
struct TrialFileName {
    std::string path;
    bool monthFirst = false;
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

    // Modal, Yes and No, captioned with the application title; true for Yes.
    [[nodiscard]] virtual bool confirm(const std::string& text) = 0;
    // A trial file to open, or to save under a name that starts as suggested;
    // the empty text when the user cancels.
    [[nodiscard]] virtual std::string openFileName(const std::string& title) = 0;
    // The same, with the order of day and month in the trial's dates among
    // the file types; day first where the dialog cannot offer it.
    [[nodiscard]] virtual TrialFileName openTrialName(const std::string& title)
    {
        return {openFileName(title), false};
    }
    [[nodiscard]] virtual std::string saveFileName(const std::string& title,
                                                   const std::string& suggested) = 0;
    // A table to export: the same, with workbooks (.xlsx) among the types.
    [[nodiscard]] virtual std::string saveExportName(const std::string& title,
                                                     const std::string& suggested)
    {
        return saveFileName(title, suggested);
    }
    // An image to save under a name that starts as suggested: the dialog
    // offers only files with the extension ("png"), and adds it to a name
    // typed without one; the empty text when the user cancels.
    [[nodiscard]] virtual std::string saveImageName(const std::string& title,
                                                    const std::string& suggested,
                                                    const std::string& extension) = 0;
    // One of the items, by its index; nothing when the user cancels.
    [[nodiscard]] virtual std::optional<std::size_t>
    choose(const std::string& title, const std::string& text,
           const std::vector<std::string>& items) = 0;
};

} // namespace quarven
