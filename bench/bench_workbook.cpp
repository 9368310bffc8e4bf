// A trial file through the engine as `quarven --batch FILE --output RESULTS`
// runs it, text or workbook alike, for scripts/bench-workbook.sh: a text is
// read in pieces of a MiB, a workbook by its path; the results are written
// to RESULTS. Exit status 0 when the trial was read, 2 otherwise.
//
//   bench_workbook TRIAL RESULTS
#include "trial/trial_run.h"

#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_workbook TRIAL RESULTS\n");
        return 2;
    }
    std::FILE* input = std::fopen(argv[1], "rb");
    std::FILE* output = std::fopen(argv[2], "wb");
    if (input == nullptr || output == nullptr) {
        std::perror("bench_workbook");
        return 2;
    }
    quarven::TrialRun run({2026, quarven::kDefaultPeriod}, [output](std::string_view piece) {
        std::fwrite(piece.data(), 1, piece.size(), output);
    });
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    const std::unique_ptr<char[]> buffer(new char[kPiece]);
    std::size_t got = std::fread(buffer.get(), 1, kPiece, input);
    std::optional<quarven::TrialError> error;
    if (quarven::KindOfTrialFile(std::string_view(buffer.get(), got)) !=
        quarven::TrialFileKind::Text) {
        error = run.readWorkbook(quarven::WorkbookSource::File(argv[1]), "");
    } else {
        while (got > 0 && !error) {
            error = run.read(std::string_view(buffer.get(), got));
            got = std::fread(buffer.get(), 1, kPiece, input);
        }
    }
    if (!error)
        error = run.finish();
    std::fclose(input);
    if (std::fclose(output) != 0 || error) {
        if (error)
            std::fprintf(stderr, "bench_workbook: %s:%u: %s\n", argv[1], error->line,
                         error->message.c_str());
        return 2;
    }
    return 0;
}
