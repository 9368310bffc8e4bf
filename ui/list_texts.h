// The texts of a list box's items, in order: what the core reads of a column.
// Inline, so that the curve module has it without the rest of the windows.
#pragma once

#include <QListWidget>

#include <string>
#include <vector>

namespace quarven {

[[nodiscard]] inline std::vector<std::string> ItemTexts(const QListWidget* list)
{
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(list->count()));
    for (int row = 0; row < list->count(); ++row)
        texts.push_back(list->item(row)->text().toStdString());
    return texts;
}

} // namespace quarven
