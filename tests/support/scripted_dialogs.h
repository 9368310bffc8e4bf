// A Dialogs for tests: answers prompts and messages from a script and keeps a
// transcript of everything shown, with titles, texts, defaults and positions
// exactly as the program passed them. Anything the script did not expect
// fails the running test row; a prompt it did not expect is cancelled.
#pragma once

#include "entry/dialogs.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

namespace quarven::test {

class ScriptedDialogs final : public Dialogs {
public:
    // The next prompt is answered with OK and this text.
    ScriptedDialogs& answer(const QString& text);
    // The next prompt is cancelled.
    ScriptedDialogs& cancel();
    // The next message is acknowledged with OK.
    ScriptedDialogs& acknowledge();
    // The next question is answered Yes or No.
    ScriptedDialogs& confirm(bool yes);
    // The next file dialog gives this path; the empty text cancels it.
    ScriptedDialogs& file(const QString& path);
    // The next Open gives this path with its dates month first.
    ScriptedDialogs& fileMonthFirst(const QString& path);
    // The next choice picks this item; nothing cancels it.
    ScriptedDialogs& pick(std::optional<std::size_t> index);
    // Runs while the step scripted last is shown, before it is answered: what
    // a user or another program does while a modal dialog waits.
    ScriptedDialogs& meanwhile(std::function<void()> action);

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
    [[nodiscard]] std::string saveImageName(const std::string& title, const std::string& suggested,
                                            const std::string& extension) override;
    [[nodiscard]] std::optional<std::size_t> choose(const std::string& title,
                                                    const std::string& text,
                                                    const std::vector<std::string>& items) override;

    // Everything shown since the last call, one line each; see promptLine and
    // messageLine.
    [[nodiscard]] QStringList takeTranscript();
    [[nodiscard]] int takeBeeps();
    [[nodiscard]] bool scriptFinished() const { return m_script.empty(); }
    // Forgets the script, transcript and beeps, after a test that failed half-way.
    void reset();

private:
    enum class Step { Answer, Cancel, Acknowledge, Confirm, File, Pick };
    struct Scripted {
        Step step;
        QString answer;
        std::optional<std::size_t> index = std::nullopt; // Pick; Confirm: 1 for Yes
        std::function<void()> meanwhile = {};
    };
    // The next step if it is of this kind; otherwise the row fails.
    [[nodiscard]] std::optional<Scripted> take(Step step, const QString& line);
    void unexpected(const QString& line);

    static constexpr int kUnexpectedLimit = 100;
    std::deque<Scripted> m_script;
    QStringList m_transcript;
    int m_beeps = 0;
    int m_unexpected = 0;
};

// The transcript lines for an expected prompt and message. A carriage return
// is written as \r so that it shows in a failed comparison.
[[nodiscard]] QString promptLine(const QString& title, const QString& text,
                                 const QString& defaultAnswer,
                                 std::optional<PromptPosition> position = std::nullopt);
[[nodiscard]] QString messageLine(const QString& text);
[[nodiscard]] QString confirmLine(const QString& text);
[[nodiscard]] QString openFileLine(const QString& title);
[[nodiscard]] QString saveFileLine(const QString& title, const QString& suggested);
[[nodiscard]] QString chooseLine(const QString& title, const QString& text,
                                 const QStringList& items);

} // namespace quarven::test
