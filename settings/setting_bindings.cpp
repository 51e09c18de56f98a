#include "settings/setting_bindings.h"

#include <algorithm>

namespace mirabo {
namespace {

using K = BindingKind;
using S = Settings;

// The places: tens are the steps of filling and of taking back, units the
// order within a step.
// clang-format off
constexpr SettingBinding kBindings[] = {
    // control    up-down     kind            integer        text          range    fill apply
    {"Edit1",     "UpDown1",  K::Number,      &S::Comp,      nullptr,      1, 99,   10,  10},
    {"Edit2",     "",         K::Text,        nullptr,       &S::SavePath, 0, 0,    11,  71},
    {"Edit3",     "",         K::Text,        nullptr,       &S::MailPath, 0, 0,    12,  74},
    {"Edit4",     "",         K::Text,        nullptr,       &S::BndOp,    0, 0,    13,  75},
    {"RichEdit1", "",         K::Font,        nullptr,       nullptr,      0, 0,    20,  20},
    {"CheckBox2", "",         K::Flag,        &S::DblCK,     nullptr,      0, 0,    30,  30},
    {"CheckBox5", "",         K::Flag,        &S::Tray,      nullptr,      0, 0,    31,  31},
    {"CheckBox6", "",         K::Flag,        &S::RenBar,    nullptr,      0, 0,    32,  32},
    {"CheckBox7", "",         K::Flag,        &S::FitOver,   nullptr,      0, 0,    33,  33},
    {"Edit5",     "UpDown2",  K::Number,      &S::Init,      nullptr,      0, 100,  40,  40},
    {"CheckBox4", "",         K::Flag,        &S::Loop,      nullptr,      0, 0,    41,  60},
    {"Edit6",     "UpDown3",  K::Number,      &S::Time,      nullptr,      1, 100,  42,  50},
    {"ListBox1",  "",         K::BrowserList, nullptr,       nullptr,      0, 0,    50,  80},
    {"Edit8",     "",         K::Text,        nullptr,       &S::SusiePath, 0, 0,   60,  72},
    {"ListBox2",  "",         K::Plugins,     nullptr,       nullptr,      0, 0,    61,  0},
    {"Edit9",     "",         K::Text,        nullptr,       &S::MediaBack, 0, 0,   70,  73},
    {"Edit10",    "",         K::Text,        nullptr,       &S::SendTo,   0, 0,    71,  70},
    {"",          "",         K::LaunchMenu,  nullptr,       nullptr,      0, 0,    0,   90},
};
// clang-format on

std::vector<const SettingBinding*> Ordered(int SettingBinding::*place) {
  std::vector<const SettingBinding*> rows;
  for (const SettingBinding& b : kBindings)
    if (b.*place) rows.push_back(&b);
  std::sort(rows.begin(), rows.end(), [place](const auto* a, const auto* b) { return a->*place < b->*place; });
  return rows;
}

}  // namespace

std::span<const SettingBinding> SettingBindings() { return kBindings; }
std::vector<const SettingBinding*> InFillOrder() { return Ordered(&SettingBinding::fill); }
std::vector<const SettingBinding*> InApplyOrder() { return Ordered(&SettingBinding::apply); }

const SettingBinding* BindingOf(std::string_view control) {
  for (const SettingBinding& b : kBindings)
    if (!control.empty() && (b.control == control || b.upDown == control)) return &b;
  return nullptr;
}

}  // namespace mirabo
