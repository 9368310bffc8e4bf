// Writes a generated trial for the batch benchmark: PLOTS plots of
// ASSESSMENTS assessments each, daily from 1 July, with levels that never
// fall. In the long layout, comma-separated with one decimal, sorted by plot
// or by date; or in the wide layout, separated by semicolons or commas, with
// whole levels (a semicolon file then gives no fraction to tell its mark by).
//
//   trial_generator PLOTS ASSESSMENTS plot|date|wide-semicolon|wide-comma OUTPUT
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The level of a plot at an assessment, in tenths: a fixed pseudo-random
// walk, so that both orders hold the same trial.
int tenths(unsigned plot, unsigned assessment)
{
    unsigned level = 0;
    unsigned state = plot * 2654435761U + 12345U;
    for (unsigned k = 0; k <= assessment; ++k) {
        state = state * 1103515245U + 12345U;
        level += (state >> 16) % 101;
    }
    return static_cast<int>(std::min(level, 1000U));
}

void appendNumber(std::string& line, unsigned value, int width)
{
    char digits[16];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    line.append(digits, static_cast<std::size_t>(width));
}

void appendRow(std::string& out, unsigned plot, unsigned assessment)
{
    out += 'P';
    appendNumber(out, plot + 1, 7);
    out += ',';
    appendNumber(out, assessment + 1, 2); // 1 July onwards; fewer than 31 assessments
    out += "/07,";
    const int level = tenths(plot, assessment);
    out += std::to_string(level / 10);
    out += '.';
    out += static_cast<char>('0' + level % 10);
    out += '\n';
}

void appendWideRow(std::string& out, unsigned plot, unsigned assessments, char separator)
{
    out += 'P';
    appendNumber(out, plot + 1, 7);
    for (unsigned assessment = 0; assessment < assessments; ++assessment) {
        out += separator;
        out += std::to_string(tenths(plot, assessment) / 10);
    }
    out += '\n';
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string layout = argc == 5 ? argv[3] : "";
    const bool wide = layout == "wide-semicolon" || layout == "wide-comma";
    if (layout != "plot" && layout != "date" && !wide) {
        std::fprintf(stderr, "usage: trial_generator PLOTS ASSESSMENTS "
                             "plot|date|wide-semicolon|wide-comma OUTPUT\n");
        return 2;
    }
    const auto plots = static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10));
    const auto assessments = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
    const bool byPlot = layout == "plot";
    if (plots == 0 || plots > 9999999 || assessments == 0 || assessments > 30) {
        std::fprintf(stderr, "trial_generator: 1..9999999 plots, 1..30 assessments\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[4], "wb");
    if (!file) {
        std::perror(argv[4]);
        return 1;
    }
    std::string out;
    if (wide) {
        const char separator = layout == "wide-semicolon" ? ';' : ',';
        out = "plot";
        for (unsigned assessment = 0; assessment < assessments; ++assessment) {
            out += separator;
            appendNumber(out, assessment + 1, 2);
            out += "/07";
        }
        out += '\n';
        for (unsigned plot = 0; plot < plots; ++plot) {
            appendWideRow(out, plot, assessments, separator);
            if (out.size() > (1U << 20)) {
                std::fwrite(out.data(), 1, out.size(), file);
                out.clear();
            }
        }
        std::fwrite(out.data(), 1, out.size(), file);
        return std::fclose(file) == 0 ? 0 : 1;
    }
    out = "plot,date,level\n";
    const unsigned outer = byPlot ? plots : assessments;
    const unsigned inner = byPlot ? assessments : plots;
    for (unsigned i = 0; i < outer; ++i) {
        for (unsigned j = 0; j < inner; ++j) {
            appendRow(out, byPlot ? i : j, byPlot ? j : i);
            if (out.size() > (1U << 20)) {
                std::fwrite(out.data(), 1, out.size(), file);
                out.clear();
            }
        }
    }
    std::fwrite(out.data(), 1, out.size(), file);
    return std::fclose(file) == 0 ? 0 : 1;
}
