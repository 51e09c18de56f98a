#include "app/view_table.h"

namespace mirabo {
namespace {

constexpr ViewState O = ViewState::On, X = ViewState::Off, K = ViewState::Keep,
                    R = ViewState::RenBarOn;
using P = ViewProperty;

//                                     mode: 0  1  2  3  4  5  6
constexpr ViewRow kTable[] = {
    {"RichEdit1", P::Visible, {O, X, X, X, X, X, X}},
    {"ImageJpg", P::Visible, {X, O, O, X, O, X, X}},
    {"ImgEdit1", P::Visible, {X, X, X, O, X, X, X}},
    {"PanelDrop", P::Visible, {X, X, X, X, X, O, X}},
    {"PanelMedia", P::Visible, {X, X, X, X, X, X, O}},
    {"ToolButton1", P::Enabled, {X, O, X, O, X, X, X}},
    {"ToolButton2", P::Enabled, {X, O, X, O, X, X, X}},
    {"ToolButton30", P::Enabled, {X, O, O, X, O, X, X}},
    {"ToolButton4", P::Enabled, {X, O, X, X, X, X, X}},
    {"ToolButton5", P::Enabled, {X, O, X, X, X, X, X}},
    {"ToolButton7", P::Visible, {O, X, X, X, X, X, X}},
    {"ToolButton26", P::Enabled, {O, O, O, O, O, X, X}},
    {"ToolButton11", P::Enabled, {O, O, O, O, O, O, X}},
    {"mnuZoomUp", P::Enabled, {K, O, X, O, X, X, X}},
    {"mnuZoomDown", P::Enabled, {K, O, X, O, X, X, X}},
    {"mnuLeft", P::Enabled, {K, O, X, X, X, X, X}},
    {"mnuRight", P::Enabled, {K, O, X, X, X, X, X}},
    {"mnuLeftS", P::Enabled, {K, O, X, X, X, X, X}},
    {"mnuRightS", P::Enabled, {K, O, X, X, X, X, X}},
    {"mnuCopy", P::Enabled, {K, O, O, O, O, X, X}},
    {"ToolBar2", P::Visible, {X, R, X, X, X, X, X}},
    {"ToolBar5", P::Visible, {X, R, X, X, X, X, X}},
    {"ToolBar3", P::Visible, {X, X, X, O, X, X, X}},
    {"ToolBar4", P::Visible, {X, X, X, X, X, X, O}},
};

}  // namespace

std::span<const ViewRow> ViewTable() { return kTable; }

Wanted WantedState(const ViewRow& row, ViewMode mode, bool renBarHidden) {
  switch (row.states[static_cast<size_t>(mode)]) {
    case ViewState::On: return Wanted::On;
    case ViewState::Off: return Wanted::Off;
    case ViewState::Keep: return Wanted::Keep;
    case ViewState::RenBarOn: return renBarHidden ? Wanted::Off : Wanted::On;
  }
  return Wanted::Keep;
}

bool TextMenuOpens(ViewMode mode) { return mode == ViewMode::Text; }

bool ZoomLabelResets(ViewMode mode) { return mode != ViewMode::Jpeg; }

const wchar_t* ZoomLabel(int level) {
  static const wchar_t* const kLabels[] = {L"100%", L"50%", L"25%", L"12.5%"};
  return level >= 0 && level <= 3 ? kLabels[level] : kLabels[0];
}

int ZoomScaleDenominator(int level) { return level >= 0 && level <= 3 ? 1 << level : 1; }

}  // namespace mirabo
