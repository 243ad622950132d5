#include "registry.h"

#include <algorithm>

#include "name_case.h"
#include "utf8.h"

RegistryValue StringValue(std::string_view text) {
  RegistryValue value{true, kRegSz, {}};
  for (char16_t unit : Utf16Units(text)) {
    value.data += static_cast<char>(unit & 0xff);
    value.data += static_cast<char>(unit >> 8);
  }
  value.data.append(2, '\0');
  return value;
}

RegistryValue EmptyNoneValue() { return {true, kRegNone, {}}; }

std::string TextOfValue(const RegistryValue& value) {
  if (!value.exists || value.type != kRegSz) return "";
  std::u16string units;
  for (std::size_t i = 0; i + 1 < value.data.size(); i += 2)
    units += static_cast<char16_t>(static_cast<unsigned char>(value.data[i]) |
                                   static_cast<unsigned char>(value.data[i + 1]) << 8);
  return Utf8OfUnits(units);
}

bool SameRegistryName(std::string_view a, std::string_view b) { return SameNameIgnoringCase(a, b); }

bool HoldsRegistryName(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& held) { return SameRegistryName(held, name); });
}

bool IsKeyUnder(std::string_view key, std::string_view upper) {
  return SameRegistryName(key.substr(0, upper.size()), upper) &&
         (key.size() == upper.size() || key[upper.size()] == '\\');
}
