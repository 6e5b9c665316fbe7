#include "editor/controls/RegionalNumbers.h"

#include "common/NumberText.h"

namespace editor {

QLocale RegionalLocale() {
  QLocale locale = QLocale::system();
  locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
  return locale;
}

QString RegionalDecimalSeparator() { return RegionalLocale().decimalPoint(); }

QString ToRegionalText(const std::string& plainText) {
  QString text = QString::fromStdString(plainText);
  const QString separator = RegionalDecimalSeparator();
  if (separator != QStringLiteral(".")) text.replace(QLatin1Char('.'), separator);
  return text;
}

QString ShortestRegionalText(double value) {
  return RegionalLocale().toString(value, 'g', QLocale::FloatingPointShortest);
}

bool TryRegionalToFloat(const QString& text, double& value) {
  bool ok = false;
  const double v = RegionalLocale().toDouble(text.trimmed(), &ok);
  if (ok) value = v;
  return ok;
}

bool TryListNumber(const QString& text, double& value) {
  return TryRegionalToFloat(text, value) || common::TryStrToFloat(text.toStdString(), value);
}

}  // namespace editor
