#include "scripted_dialogs.h"

#include <QtGlobal>
#include <QtTest>

namespace quarven::test {
namespace {

QString visible(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

} // namespace

QString promptLine(const QString& title, const QString& text, const QString& defaultAnswer,
                   std::optional<PromptPosition> position)
{
    const QString where = position ? QStringLiteral("%1,%2").arg(position->left).arg(position->top)
                                   : QStringLiteral("placed by the toolkit");
    return QStringLiteral("prompt [%1] [%2] default [%3] at %4")
        .arg(visible(title), visible(text), visible(defaultAnswer), where);
}

QString messageLine(const QString& text)
{
    return QStringLiteral("message [%1]").arg(visible(text));
}

QString confirmLine(const QString& text)
{
    return QStringLiteral("confirm [%1]").arg(visible(text));
}

QString openFileLine(const QString& title)
{
    return QStringLiteral("open file [%1]").arg(title);
}

QString saveFileLine(const QString& title, const QString& suggested)
{
    return QStringLiteral("save file [%1] suggested [%2]").arg(title, suggested);
}

QString chooseLine(const QString& title, const QString& text, const QStringList& items)
{
    return QStringLiteral("choose [%1] [%2] from [%3]")
        .arg(title, visible(text), items.join(QLatin1Char('|')));
}

ScriptedDialogs& ScriptedDialogs::answer(const QString& text)
{
    m_script.push_back({Step::Answer, text});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::cancel()
{
    m_script.push_back({Step::Cancel, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::acknowledge()
{
    m_script.push_back({Step::Acknowledge, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::confirm(bool yes)
{
    m_script.push_back({Step::Confirm, {}, yes ? 1u : 0u});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::file(const QString& path)
{
    m_script.push_back({Step::File, path});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::fileMonthFirst(const QString& path)
{
    m_script.push_back({Step::File, path, 1u});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::pick(std::optional<std::size_t> index)
{
    m_script.push_back({Step::Pick, {}, index});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::meanwhile(std::function<void()> action)
{
    if (m_script.empty())
        qFatal("meanwhile needs a scripted step");
    m_script.back().meanwhile = std::move(action);
    return *this;
}

std::optional<ScriptedDialogs::Scripted> ScriptedDialogs::take(Step step, const QString& line)
{
    m_transcript.append(line);
    if (m_script.empty() || m_script.front().step != step) {
        unexpected(line);
        return std::nullopt;
    }
    const Scripted next = m_script.front();
    m_script.pop_front();
    if (next.meanwhile)
        next.meanwhile();
    return next;
}

bool ScriptedDialogs::confirm(const std::string& text)
{
    const std::optional<Scripted> next =
        take(Step::Confirm, confirmLine(QString::fromStdString(text)));
    return next && next->index == 1u;
}

std::string ScriptedDialogs::openFileName(const std::string& title)
{
    const std::optional<Scripted> next =
        take(Step::File, openFileLine(QString::fromStdString(title)));
    return next ? next->answer.toStdString() : std::string();
}

TrialFileName ScriptedDialogs::openTrialName(const std::string& title)
{
    const std::optional<Scripted> next =
        take(Step::File, openFileLine(QString::fromStdString(title)));
    if (!next)
        return {};
    return {next->answer.toStdString(), next->index == 1u};
}

std::string ScriptedDialogs::saveFileName(const std::string& title, const std::string& suggested)
{
    const std::optional<Scripted> next = take(
        Step::File, saveFileLine(QString::fromStdString(title), QString::fromStdString(suggested)));
    return next ? next->answer.toStdString() : std::string();
}

std::string ScriptedDialogs::saveImageName(const std::string& title, const std::string& suggested,
                                           const std::string& extension)
{
    const std::optional<Scripted> next =
        take(Step::File, saveFileLine(QString::fromStdString(title),
                                      QString::fromStdString(suggested + ", *." + extension)));
    return next ? next->answer.toStdString() : std::string();
}

std::optional<std::size_t> ScriptedDialogs::choose(const std::string& title,
                                                   const std::string& text,
                                                   const std::vector<std::string>& items)
{
    QStringList names;
    for (const std::string& item : items)
        names.append(QString::fromStdString(item));
    const std::optional<Scripted> next = take(
        Step::Pick, chooseLine(QString::fromStdString(title), QString::fromStdString(text), names));
    return next ? next->index : std::nullopt;
}

std::string ScriptedDialogs::prompt(const std::string& text, const std::string& title,
                                    const std::string& defaultAnswer,
                                    std::optional<PromptPosition> position)
{
    const QString line = promptLine(QString::fromStdString(title), QString::fromStdString(text),
                                    QString::fromStdString(defaultAnswer), position);
    m_transcript.append(line);
    if (m_script.empty() || m_script.front().step == Step::Acknowledge) {
        unexpected(line);
        return {};
    }
    const Scripted next = m_script.front();
    m_script.pop_front();
    if (next.meanwhile)
        next.meanwhile();
    return next.step == Step::Answer ? next.answer.toStdString() : std::string();
}

void ScriptedDialogs::message(const std::string& text)
{
    const QString line = messageLine(QString::fromStdString(text));
    m_transcript.append(line);
    if (m_script.empty() || m_script.front().step != Step::Acknowledge) {
        unexpected(line);
        return;
    }
    const Scripted next = m_script.front();
    m_script.pop_front();
    if (next.meanwhile)
        next.meanwhile();
}

// Fails the running test row and cancels the prompt, which ends most of the
// program's loops. The count prompt asks again after a Cancel; a loop that
// never ends can only stop the whole test program.
void ScriptedDialogs::unexpected(const QString& line)
{
    const QString what =
        QStringLiteral("Unexpected %1\nafter:\n%2").arg(line, m_transcript.join(QLatin1Char('\n')));
    if (++m_unexpected > kUnexpectedLimit)
        qFatal("%s", qPrintable(what));
    if (m_unexpected == 1)
        QTest::qFail(qPrintable(what), __FILE__, __LINE__);
}

void ScriptedDialogs::beep()
{
    ++m_beeps;
}

void ScriptedDialogs::reset()
{
    m_script.clear();
    m_transcript.clear();
    m_beeps = 0;
    m_unexpected = 0;
}

QStringList ScriptedDialogs::takeTranscript()
{
    return std::exchange(m_transcript, {});
}

int ScriptedDialogs::takeBeeps()
{
    return std::exchange(m_beeps, 0);
}

} // namespace quarven::test
