#include "curve_naming.h"

#include "trial/trial_summary.h"

#include <QDir>

#include <algorithm>
#include <set>

namespace quarven {
namespace {

QString shown(const QString& text)
{
    QString one = text;
    for (QChar& c : one)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return one;
}

} // namespace

QString LabelText(const CurveLabel& label)
{
    QStringList parts;
    if (!label.trial.isEmpty())
        parts.append(shown(label.trial));
    if (!label.site.isEmpty())
        parts.append(QStringLiteral("site %1").arg(shown(label.site)));
    if (!label.group.isEmpty())
        parts.append(QStringLiteral("%1 %2").arg(shown(label.groupColumn), shown(label.group)));
    if (!label.plot.isEmpty())
        parts.append(QStringLiteral("plot %1").arg(shown(label.plot)));
    return parts.join(QStringLiteral(", "));
}

QString FileNameSafe(const QString& name, const QString& fallback)
{
    static const QString kRefused = QStringLiteral("/\\:*?\"<>|");
    QString safe;
    for (const QChar c : name)
        safe += c.category() == QChar::Other_Control || kRefused.contains(c) ? QLatin1Char('_') : c;
    constexpr qsizetype kLongest = 80;
    // A surrogate pair is never cut in two.
    if (safe.size() > kLongest)
        safe.truncate(safe.at(kLongest - 1).isHighSurrogate() ? kLongest - 1 : kLongest);
    while (!safe.isEmpty() && (safe.front() == QLatin1Char('.') || safe.front().isSpace()))
        safe.remove(0, 1);
    while (!safe.isEmpty() && (safe.back() == QLatin1Char('.') || safe.back().isSpace()))
        safe.chop(1);
    return safe.isEmpty() ? fallback : safe;
}

QString ProposedImage(const CurveLabel& label, const QString& name, const QString& extension)
{
    const QString fallback = QStringLiteral("curve");
    if (label.folder.isEmpty())
        return fallback + QLatin1Char('.') + extension;
    return QDir(label.folder).filePath(FileNameSafe(name, fallback) + QLatin1Char('.') + extension);
}

std::vector<GroupChoice> ChoiceOrder(const std::vector<std::string>& groups,
                                     const std::vector<Standard>& standards)
{
    const std::set<std::string, std::less<>> known(groups.begin(), groups.end());
    std::vector<GroupChoice> choices;
    std::set<std::string, std::less<>> standing;
    for (const Standard& standard : standards)
        if (known.count(standard.name) && standing.insert(standard.name).second)
            choices.push_back({standard.name, standard.value, true});
    for (const std::string& group : groups)
        if (!standing.count(group))
            choices.push_back({group, std::nullopt, false});
    return choices;
}

} // namespace quarven
