#pragma once
// The program's name where the system shows it: the main window's caption,
// the title of its message boxes.
namespace mirabo {

inline constexpr wchar_t kProductName[] = L"Mirabo";

}  // namespace mirabo
