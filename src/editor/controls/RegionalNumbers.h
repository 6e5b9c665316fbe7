#pragma once
// Numbers as the user reads and types them in the dialogs and the spin edit: the user's
// regional number format (QLocale::system()), written without digit grouping. Files never use
// these; they keep the fixed "en-US" text of common/NumberText.h.
#include <QLocale>
#include <QString>
#include <string>

namespace editor {

// The system locale with digit grouping neither written nor accepted.
QLocale RegionalLocale();
// The regional decimal separator ("." or "," for most users).
QString RegionalDecimalSeparator();
// Plain "C" number text (as FormatC writes it) with its "." turned into the regional separator.
QString ToRegionalText(const std::string& plainText);
// The shortest text that reads back as `value`, in the regional format ("22.5", "22,5", "30").
QString ShortestRegionalText(double value);
// Reads a whole number in the regional format (blanks around it allowed); false on anything else.
bool TryRegionalToFloat(const QString& text, double& value);
// Reads a list entry: in the regional format and, when that fails, in the "." format the fixed
// entries of the lists are written in (so "22.5" reads as 22.5 under a comma-decimal locale).
bool TryListNumber(const QString& text, double& value);

}  // namespace editor
