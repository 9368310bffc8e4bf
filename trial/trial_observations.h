// Files of one observation a row, as phone field-book apps and breeding
// databases export them: the columns plot_id, trait, value and timestamp
// (ISO date and time, a zone allowed), and any others beside. Such a file is
// handed on to the row reader as a long trial of one trait: the plot is
// plot_id, the date the timestamp's date as written (never shifted by its
// zone), the level the value. Other columns (plot, rep, accession...) are
// copied from the plot's first row of the trait.
//
// The trait is the one the reading names, or the file's only one. Rows of
// other traits are dropped; a file of several traits with none named, or
// without the one named, is refused with the list of its traits, once the
// file has been read: its traits are not known before.
//
// A plot's observations are put in the order of their days, for two raters'
// exports joined one after the other. Several observations of one plot on one
// day are averaged, and the plot's note says so ("2 observations on
// 2024-06-03 averaged"); a value that is not a level of 0 to 100 is handed on
// alone, for the batch to refuse its plot. That takes the trait's rows in
// memory until the file ends: the texts of its dates and values, and each
// plot's first row.
//
// Any other file passes through to the row reader as it is.
#pragma once

#include "trial_fields.h"
#include "trial_reading.h"
#include "trial_rows.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quarven {

// Whether a header names the four columns of a file of one observation a row.
[[nodiscard]] bool NamesObservations(Items<std::string_view> header);

class ObservationSink final : public FieldSink {
public:
    ObservationSink(TrialRowReader& rows, const TrialReading& reading);
    ~ObservationSink() override;
    ObservationSink(const ObservationSink&) = delete;
    ObservationSink& operator=(const ObservationSink&) = delete;

    void separator(char separator) override;
    bool record(std::uint32_t line, Items<std::string_view> fields) override;
    void end(std::uint32_t lastLine) override;
    // Why the file was refused here; the row reader keeps its own reasons.
    [[nodiscard]] const std::optional<TrialError>& error() const { return m_error; }
    // The traits met, in the order they first appear.
    [[nodiscard]] const std::vector<std::string>& traits() const { return m_traits; }

private:
    class Book;

    // Out of the way of the file that only passes through.
    [[gnu::noinline]] bool observe(std::uint32_t line, Items<std::string_view> fields);
    bool header(std::uint32_t line, Items<std::string_view> fields);

    TrialRowReader& m_rows;
    TrialReading m_reading;
    char m_separator = ',';
    enum class Mode { BeforeHeader, PassThrough, Observations };
    Mode m_mode = Mode::BeforeHeader;
    std::unique_ptr<Book> m_book;
    std::vector<std::string> m_traits;
    std::optional<TrialError> m_error;
};

} // namespace quarven
