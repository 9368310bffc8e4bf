// The trial reader and the batch behind it, two ways.
//
// Raw bytes: no crash; the same rows whether lines are split directly (by
// each split path) or all go through libcsv, and whatever pieces the text
// comes in; every plot the reader hands over comes out of the batch exactly
// once, in first-appearance order; a refused plot's message names lines that
// are that plot's rows.
//
// A generated trial (first byte odd): plots with rising dates and levels,
// rows interleaved, fields quoted at random, names that need quoting, blank
// lines, CRLF, and now and then a field that cannot be read. Its lines are
// counted here while it is written, so the checks do not rest on the reader:
// each plot comes out once and in order, a plot is refused exactly when it
// got an unreadable field, its dates span more than 183 days or it has fewer
// than two assessments, the refusal names the first such line, and a
// computed plot's AUDPC is the one summed here in file order (0 written as a
// number).
//
// Both kinds: the whole run gives the same results, byte for byte, when its
// results are made in small blocks on two threads as when made on one.
#include "core/value_conventions.h"
#include "fuzz_support.h"
#include "trial/trial_batch.h"
#include "trial/trial_file.h"
#include "trial/trial_run.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using fuzzref::Shown;

// QUARVEN_FUZZ_STATS=1 prints how often each kind of input and outcome came.
struct Tally {
    long raw = 0;
    long rawRead = 0;
    long generated = 0;
    long computed = 0;
    long refusedAtLine = 0;
    ~Tally()
    {
        if (std::getenv("QUARVEN_FUZZ_STATS"))
            std::fprintf(stderr,
                         "raw %ld (read whole %ld), generated %ld: plots computed %ld, refused "
                         "at their first unreadable line %ld\n",
                         raw, rawRead, generated, computed, refusedAtLine);
    }
} tally;

struct Row {
    std::uint32_t line;
    std::string plot;
    std::string text;
};

class Collect final : public quarven::TrialVisitor {
public:
    quarven::TrialLayout layout = quarven::TrialLayout::Long;
    std::vector<Row> rows;
    void header(const quarven::TrialHeader& header) override { layout = header.layout; }
    void row(const quarven::TrialRow& row) override
    {
        std::string text = std::string(row.plot) + "|" + std::to_string(row.extraFields);
        for (const auto& assessment : row.assessments)
            text += "|" + std::string(assessment.date) + "=" + std::string(assessment.level);
        for (const std::string_view copied : row.copied)
            text += "|c:" + std::string(copied);
        text += "|p:" + std::string(row.period) + "|g:" + std::string(row.group) +
                "|b:" + std::string(row.budding) + "|d:" + std::string(row.desiccation);
        rows.push_back({row.line, std::string(row.plot), text});
    }
};

struct Read {
    Collect rows;
    std::optional<quarven::TrialError> error;
};

Read readInPieces(std::string_view text, const std::vector<std::size_t>& cuts, bool split,
                  quarven::SplitPath path = quarven::SplitPath::Widest)
{
    Read read;
    quarven::TrialReader reader(read.rows, quarven::TrialReader::Options{split, path});
    std::size_t at = 0;
    for (const std::size_t cut : cuts) {
        if (read.error || cut <= at || cut > text.size())
            continue;
        read.error = reader.read(text.substr(at, cut - at));
        at = cut;
    }
    if (!read.error)
        read.error = reader.read(text.substr(at));
    if (!read.error)
        read.error = reader.finish();
    return read;
}

bool sameRead(const Read& a, const Read& b)
{
    if (a.error.has_value() != b.error.has_value())
        return false;
    if (a.error && (a.error->line != b.error->line || a.error->message != b.error->message))
        return false;
    if (a.rows.rows.size() != b.rows.rows.size())
        return false;
    for (std::size_t i = 0; i < a.rows.rows.size(); ++i)
        if (a.rows.rows[i].line != b.rows.rows[i].line ||
            a.rows.rows[i].text != b.rows.rows[i].text)
            return false;
    return true;
}

struct Result {
    std::string plot;
    std::string message;
    std::string lines;
    std::string audpc;
};

std::vector<Result> runBatch(std::string_view text, int year,
                             std::optional<quarven::TrialError>& error)
{
    std::vector<Result> results;
    quarven::TrialBatch batch(quarven::BatchSettings{year, quarven::kDefaultPeriod},
                              [&results](const quarven::PlotResult& plot) {
                                  results.push_back({std::string(plot.plot),
                                                     std::string(plot.message),
                                                     std::string(plot.lines),
                                                     std::string(plot.measures[quarven::kAudpc])});
                              });
    error = quarven::ReadTrial(text, batch);
    if (!error) {
        batch.finish();
        error = batch.error();
    }
    return results;
}

// "line 7" or "lines 3 and 7" as numbers.
std::vector<std::uint32_t> namedLines(const std::string& lines)
{
    std::vector<std::uint32_t> numbers;
    std::uint64_t value = 0;
    bool digits = false;
    for (const char c : lines + " ") {
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
            digits = true;
        } else if (digits) {
            numbers.push_back(static_cast<std::uint32_t>(value));
            value = 0;
            digits = false;
        }
    }
    return numbers;
}

void checkThreads(std::string_view text, int year)
{
    const quarven::BatchSettings settings{year, quarven::kDefaultPeriod};
    const quarven::TrialRunOutcome alone =
        quarven::RunTrial(text, settings, quarven::TrialRun::Options{false, 1});
    const quarven::TrialRunOutcome two =
        quarven::RunTrial(text, settings, quarven::TrialRun::Options{true, 1});
    FUZZ_CHECK(alone.error.has_value() == two.error.has_value() &&
                   (!alone.error || (alone.error->line == two.error->line &&
                                     alone.error->message == two.error->message)),
               "two threads give another error on %s", Shown(text).c_str());
    FUZZ_CHECK(alone.results == two.results && alone.plots == two.plots &&
                   alone.refused == two.refused,
               "two threads give %s, one %s, on %s", Shown(two.results).c_str(),
               Shown(alone.results).c_str(), Shown(text).c_str());
}

void checkRaw(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < size && cuts.size() < 8; ++i)
        if (data[i] % 7 == 0)
            cuts.push_back(i);

    const Read whole = readInPieces(text, {}, true);
    const Read libcsv = readInPieces(text, {}, false);
    const Read pieces = readInPieces(text, cuts, true);
    FUZZ_CHECK(sameRead(whole, libcsv), "direct split and libcsv differ on %s",
               Shown(text).c_str());
    FUZZ_CHECK(sameRead(whole, pieces), "reading in pieces differs on %s", Shown(text).c_str());
    for (const quarven::SplitPath path :
         {quarven::SplitPath::Sse2, quarven::SplitPath::EightBytes, quarven::SplitPath::Bytes})
        FUZZ_CHECK(!quarven::HasSplitPath(path) ||
                       sameRead(whole, readInPieces(text, {}, true, path)),
                   "split path %d differs on %s", static_cast<int>(path), Shown(text).c_str());

    ++tally.raw;
    checkThreads(text, 2026);
    std::optional<quarven::TrialError> error;
    const std::vector<Result> results = runBatch(text, 2026, error);
    FUZZ_CHECK(error.has_value() == whole.error.has_value(), "batch error differs on %s",
               Shown(text).c_str());
    if (error)
        return;
    ++tally.rawRead;

    // The plots the reader handed over, each once, in first-appearance order
    // (a wide row is a plot of its own), with the lines of their rows.
    std::vector<std::string> expected;
    std::map<std::string, std::vector<std::uint32_t>> linesOf;
    for (const Row& row : whole.rows.rows) {
        if (whole.rows.layout == quarven::TrialLayout::Wide || !linesOf.count(row.plot))
            expected.push_back(row.plot);
        linesOf[row.plot].push_back(row.line);
    }
    FUZZ_CHECK(results.size() == expected.size(), "%zu results for %zu plots in %s", results.size(),
               expected.size(), Shown(text).c_str());
    for (std::size_t i = 0; i < results.size(); ++i) {
        FUZZ_CHECK(results[i].plot == expected[i], "result %zu is plot %s, expected %s in %s", i,
                   Shown(results[i].plot).c_str(), Shown(expected[i]).c_str(), Shown(text).c_str());
        FUZZ_CHECK(results[i].message.empty() == results[i].lines.empty(),
                   "message %s with lines %s", Shown(results[i].message).c_str(),
                   Shown(results[i].lines).c_str());
        const std::vector<std::uint32_t>& own = linesOf[results[i].plot];
        for (const std::uint32_t line : namedLines(results[i].lines))
            FUZZ_CHECK(std::find(own.begin(), own.end(), line) != own.end(),
                       "plot %s refused naming line %u, not one of its rows, in %s",
                       Shown(results[i].plot).c_str(), line, Shown(text).c_str());
    }
}

// ---- the generated trial ----

const char* const kNames[] = {"P1",         "P 2", "a,b",      "q\"uote",
                              "two\nlines", "x;y", "tab\tbed", " padded "};

std::string dayMonth(int dayOfYear)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = 0;
    while (dayOfYear >= days[month]) {
        dayOfYear -= days[month];
        ++month;
    }
    const auto two = [](int value) {
        return std::string(1, static_cast<char>('0' + value / 10)) +
               static_cast<char>('0' + value % 10);
    };
    return two(dayOfYear + 1) + "/" + two(month + 1);
}

struct Plot {
    std::string name;
    int day = 0;
    int tenths = 0;
    int count = 0;
    double audpc = 0;
    std::uint32_t firstBadLine = 0;
    double lastLevel = 0;
    int firstDay = 0;
    int lastDay = 0;
};

void checkGenerated(FuzzedDataProvider& in)
{
    const char separator = in.PickValueInArray({',', ';', '\t'});
    const bool crlf = in.ConsumeBool();
    const std::string end = crlf ? "\r\n" : "\n";
    std::uint32_t line = 1;
    std::string text;

    const auto field = [&](const std::string& value) {
        const bool needs =
            value.find_first_of(std::string("\"\r\n") + separator) != std::string::npos ||
            value.front() == ' ' || value.back() == ' ' ||
            (separator != '\t' && (value.front() == '\t' || value.back() == '\t'));
        if (!needs && !in.ConsumeBool()) {
            text += value;
            return;
        }
        text += '"';
        for (const char c : value) {
            if (c == '"')
                text += '"';
            if (c == '\n')
                ++line;
            text += c;
        }
        text += '"';
    };

    const std::string header[] = {"plot", in.ConsumeBool() ? "Date" : "date",
                                  in.ConsumeBool() ? "LEVEL" : "level"};
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            text += separator;
        field(header[i]);
    }
    text += end;
    ++line;

    std::vector<Plot> plots(in.ConsumeIntegralInRange<std::size_t>(1, 6));
    for (std::size_t i = 0; i < plots.size(); ++i) {
        plots[i].name =
            std::string(kNames[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kNames) - 1)]) +
            std::to_string(i);
        plots[i].day = in.ConsumeIntegralInRange(0, 200);
    }
    std::vector<std::size_t> order;
    const std::size_t rows = in.ConsumeIntegralInRange<std::size_t>(0, 40);
    for (std::size_t r = 0; r < rows; ++r) {
        if (in.ConsumeIntegralInRange(0, 9) == 0) {
            text += end;
            ++line;
        }
        const std::size_t chosen = in.ConsumeIntegralInRange<std::size_t>(0, plots.size() - 1);
        Plot& plot = plots[chosen];
        if (std::find(order.begin(), order.end(), chosen) == order.end())
            order.push_back(chosen);
        const std::uint32_t rowLine = line;
        plot.day = std::min(plot.day + in.ConsumeIntegralInRange(1, 20), 364);
        plot.tenths = std::min(plot.tenths + in.ConsumeIntegralInRange(0, 150), 1000);
        std::string date = dayMonth(plot.day);
        std::string level =
            std::to_string(plot.tenths / 10) + "." + std::to_string(plot.tenths % 10);
        if (separator != ',' && in.ConsumeBool())
            level[level.find('.')] = ',';
        bool bad = false;
        switch (in.ConsumeIntegralInRange(0, 23)) {
        case 0:
            date = "31/06";
            bad = true;
            break;
        case 1:
            level = "1O";
            bad = true;
            break;
        case 2:
            level = "101";
            bad = true;
            break;
        default:
            break;
        }
        field(plot.name);
        text += separator;
        field(date);
        text += separator;
        field(level);
        text += end;
        ++line;

        ++plot.count;
        if (bad && plot.firstBadLine == 0)
            plot.firstBadLine = rowLine;
        if (!bad && plot.firstBadLine == 0) {
            const double value = plot.tenths / 10.0;
            if (plot.count == 1)
                plot.firstDay = plot.day;
            if (plot.count > 1) {
                if (plot.day == plot.lastDay && plot.firstBadLine == 0)
                    plot.firstBadLine = rowLine; // dates stopped at the year's end
                else if (plot.day - plot.firstDay > 183)
                    plot.firstBadLine = rowLine;
                else
                    plot.audpc =
                        plot.audpc + ((plot.lastLevel + value) * (plot.day - plot.lastDay)) / 2;
            }
            plot.lastLevel = value;
            plot.lastDay = plot.day;
        }
    }

    ++tally.generated;
    checkThreads(text, 2026);
    std::optional<quarven::TrialError> error;
    const std::vector<Result> results = runBatch(text, 2026, error);
    FUZZ_CHECK(!error, "error line %u: %s in %s", error->line, error->message.c_str(),
               Shown(text).c_str());
    FUZZ_CHECK(results.size() == order.size(), "%zu results for %zu plots in %s", results.size(),
               order.size(), Shown(text).c_str());
    for (std::size_t i = 0; i < results.size(); ++i) {
        const Plot& plot = plots[order[i]];
        const Result& result = results[i];
        FUZZ_CHECK(result.plot == plot.name, "result %zu is %s, expected %s in %s", i,
                   Shown(result.plot).c_str(), Shown(plot.name).c_str(), Shown(text).c_str());
        if (plot.firstBadLine != 0) {
            FUZZ_CHECK(!result.message.empty() &&
                           namedLines(result.lines).back() == plot.firstBadLine,
                       "plot %s should be refused at line %u, got %s (%s) in %s",
                       Shown(plot.name).c_str(), plot.firstBadLine, Shown(result.message).c_str(),
                       result.lines.c_str(), Shown(text).c_str());
            ++tally.refusedAtLine;
        } else if (plot.count < 2) {
            FUZZ_CHECK(!result.message.empty(), "plot %s with %d assessments computed in %s",
                       Shown(plot.name).c_str(), plot.count, Shown(text).c_str());
        } else {
            FUZZ_CHECK(result.message.empty() &&
                           result.audpc == quarven::FormatDecimals(plot.audpc, 0),
                       "plot %s: %s, audpc %s, expected %s in %s", Shown(plot.name).c_str(),
                       Shown(result.message).c_str(), result.audpc.c_str(),
                       quarven::FormatDecimals(plot.audpc, 0).c_str(), Shown(text).c_str());
            ++tally.computed;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0 && data[0] % 2 == 1) {
        FuzzedDataProvider in(data + 1, size - 1);
        checkGenerated(in);
    } else {
        checkRaw(data, size);
    }
    return 0;
}
