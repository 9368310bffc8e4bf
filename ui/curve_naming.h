// What a curve's titles and saved images are named after, and the order in
// which groups are offered for the mean curves: plain functions that the
// curve windows share and the tests hold.
#pragma once

#include "ui/curve_loader.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace quarven {

// "trial.csv, site north, clone Yungay, plot 12", leaving out what is
// empty; the empty text for a plot typed by hand.
[[nodiscard]] QString LabelText(const CurveLabel& label);

// A name fit for a file on any desktop: no folder separator, no character
// Windows refuses, no control character, no leading dot, no blanks or dots
// at its ends, and at most 80 characters; `fallback` when nothing is left.
[[nodiscard]] QString FileNameSafe(const QString& name, const QString& fallback);

// Where Save proposes an image of a curve named `name`: name.extension in
// the trial's folder; for a plot typed by hand, curve.extension where the
// dialog opens.
[[nodiscard]] QString ProposedImage(const CurveLabel& label, const QString& name,
                                    const QString& extension);

struct GroupChoice {
    std::string group;
    std::optional<double> standard; // the declared value of a standard
    bool checked = false;
};

// The groups as offered for the mean curves: the standards first, checked,
// in the order they were given (those that are no group left out), then
// every other group in the order given, unchecked.
[[nodiscard]] std::vector<GroupChoice> ChoiceOrder(const std::vector<std::string>& groups,
                                                   const std::vector<Standard>& standards);

} // namespace quarven
