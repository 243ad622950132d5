// Windows' own comparison: CompareStringOrdinal ignoring case upper-cases by the table the
// file system and the registry use.
#include <windows.h>

#include "name_case.h"
#include "utf8.h"

bool SameNameBySystem(std::string_view a, std::string_view b) {
  const std::u16string wideA = Utf16Units(a), wideB = Utf16Units(b);
  return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(wideA.c_str()), static_cast<int>(wideA.size()),
                              reinterpret_cast<const wchar_t*>(wideB.c_str()), static_cast<int>(wideB.size()),
                              TRUE) == CSTR_EQUAL;
}
