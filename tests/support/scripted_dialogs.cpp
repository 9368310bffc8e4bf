#include "scripted_dialogs.h"

#include <QtGlobal>

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

std::string ScriptedDialogs::prompt(const std::string& text, const std::string& title,
                                    const std::string& defaultAnswer,
                                    std::optional<PromptPosition> position)
{
    const QString line = promptLine(QString::fromStdString(title), QString::fromStdString(text),
                                    QString::fromStdString(defaultAnswer), position);
    m_transcript.append(line);
    if (m_script.empty() || m_script.front().step == Step::Acknowledge)
        qFatal("Unexpected %s\nafter:\n%s", qPrintable(line),
               qPrintable(m_transcript.join(QLatin1Char('\n'))));
    const Scripted next = m_script.front();
    m_script.pop_front();
    return next.step == Step::Answer ? next.answer.toStdString() : std::string();
}

void ScriptedDialogs::message(const std::string& text)
{
    const QString line = messageLine(QString::fromStdString(text));
    m_transcript.append(line);
    if (m_script.empty() || m_script.front().step != Step::Acknowledge)
        qFatal("Unexpected %s\nafter:\n%s", qPrintable(line),
               qPrintable(m_transcript.join(QLatin1Char('\n'))));
    m_script.pop_front();
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
