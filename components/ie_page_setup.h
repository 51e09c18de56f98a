#pragma once
// The browser's page-setup margins as the registry keeps them, made fit for
// its dialog: blanks removed, and the first "." turned into the user's
// decimal separator when that is another.
#include <string>

namespace mirabo {

std::wstring CleanMargin(const std::wstring& stored, const std::wstring& decimalSeparator);

}  // namespace mirabo
