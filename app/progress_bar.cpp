#include "progress_bar.h"

#include <QString>

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define QUARVEN_ISATTY _isatty
#define QUARVEN_FILENO _fileno
#else
#include <unistd.h>
#define QUARVEN_ISATTY isatty
#define QUARVEN_FILENO fileno
#endif

namespace quarven {
namespace {

constexpr qint64 kQuietMilliseconds = 1000;
constexpr qint64 kRedrawMilliseconds = 100;
constexpr int kWidth = 30;

} // namespace

QString ProgressText(std::int64_t done, std::int64_t total)
{
    if (total <= 0)
        return QStringLiteral("quarven: %1 MB read").arg(done / 1000000);
    const std::int64_t percent = done >= total ? 100 : done * 100 / total;
    const int filled = static_cast<int>(percent * kWidth / 100);
    return QStringLiteral("quarven: [%1%2] %3%")
        .arg(QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char(' ')))
        .arg(percent, 3);
}

ProgressBar::ProgressBar(std::int64_t total)
    : m_terminal(QUARVEN_ISATTY(QUARVEN_FILENO(stderr)) != 0), m_total(total)
{
    m_clock.start();
}

ProgressBar::~ProgressBar()
{
    finish();
}

void ProgressBar::update(std::int64_t done)
{
    if (!m_terminal)
        return;
    const qint64 now = m_clock.elapsed();
    if (now < kQuietMilliseconds || (m_drawn && now - m_lastDrawn < kRedrawMilliseconds))
        return;
    std::fprintf(stderr, "\r%s", qPrintable(ProgressText(done, m_total)));
    std::fflush(stderr);
    m_drawn = true;
    m_lastDrawn = now;
}

void ProgressBar::finish()
{
    if (!m_drawn)
        return;
    // Carriage return, erase the line: the terminal is left as it was.
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    m_drawn = false;
}

} // namespace quarven
