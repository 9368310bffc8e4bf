// The assessment table as the entry actions see it: the date and level cells
// of the rows the lists hold. Only the build rule adds or removes rows, so
// this interface can only read and replace cells.
#pragma once

#include <string>

namespace quarven {

class AssessmentCells {
public:
    virtual ~AssessmentCells() = default;
    [[nodiscard]] virtual int rowCount() const = 0;
    [[nodiscard]] virtual std::string date(int row) const = 0;
    [[nodiscard]] virtual std::string level(int row) const = 0;
    virtual void setDate(int row, const std::string& text) = 0;
    virtual void setLevel(int row, const std::string& text) = 0;
};

} // namespace quarven
