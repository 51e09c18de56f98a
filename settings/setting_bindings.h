#pragma once
// The settings dialog's controls and the settings they stand for, in one
// table: which control, which setting, what kind of value, its range, and
// its place in the two orders the dialog keeps, filling when it opens and
// taking the values back when it closes.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/rw_ini.h"

namespace mirabo {

enum class BindingKind {
  Number,       // an edit box with an up-down, an integer setting
  Text,         // an edit box, a text setting (CP932)
  Flag,         // a check box, 1 or 0
  Font,         // the sample: the text view's font and Font/Name, Font/Size
  BrowserList,  // the list box of the browser extension list
  Plugins,      // the list box of the loaded plug-ins (filled only)
  LaunchMenu,   // the launch menu rebuilt from SendTo (taken back only)
};

struct SettingBinding {
  std::string_view control;  // the dialog's control; for a number its edit box
  std::string_view upDown;   // a number's up-down
  BindingKind kind;
  int Settings::*integer = nullptr;
  std::string Settings::*text = nullptr;
  int low = 0, high = 0;  // a number's range
  int fill = 0;           // its place when the dialog fills itself; 0 none
  int apply = 0;          // its place when the values are taken back; 0 none
};

std::span<const SettingBinding> SettingBindings();

// The table's rows that take part, in that order.
std::vector<const SettingBinding*> InFillOrder();
std::vector<const SettingBinding*> InApplyOrder();

// The row of a control (its edit box or its up-down); nullptr for none.
const SettingBinding* BindingOf(std::string_view control);

}  // namespace mirabo
