#include "shape/FileFormatSettings.h"

#include "common/NumberText.h"

namespace shape {

const TFileFormatSettings FileFormatSettings;

std::string TFileFormatSettings::Format(const char* fmt, ...) const {
  va_list args;
  va_start(args, fmt);
  std::string out = common::FormatCV(fmt, args);
  va_end(args);
  return out;
}

bool TFileFormatSettings::TryStrToFloat(std::string_view text, double& out) const {
  return common::TryStrToFloat(text, out);
}

double TFileFormatSettings::StrToFloatDef(std::string_view text, double fallback) const {
  return common::StrToFloatDef(text, fallback);
}

}  // namespace shape
