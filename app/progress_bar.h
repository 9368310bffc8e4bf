// A progress bar on standard error for long runs: drawn only when standard
// error is a terminal and only once a run has lasted a second, so that short
// runs and redirected output see nothing of it.
#pragma once

#include <QElapsedTimer>

#include <cstdint>

namespace quarven {

class ProgressBar {
public:
    // total: the bytes to read, or 0 when not known (standard input).
    explicit ProgressBar(std::int64_t total);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(std::int64_t done);
    // Clears the bar, if one was drawn.
    void finish();

private:
    bool m_terminal;
    bool m_drawn = false;
    std::int64_t m_total;
    QElapsedTimer m_clock;
    qint64 m_lastDrawn = 0;
};

// The bar's text for a share done: "[#####     ]  50%", or the bytes read when
// the total is not known.
[[nodiscard]] QString ProgressText(std::int64_t done, std::int64_t total);

} // namespace quarven
