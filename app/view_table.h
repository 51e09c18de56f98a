#pragma once
// Which viewer controls are shown and which commands are enabled in each
// view mode: one table, read by the main window when it arranges itself and
// by the tests.
#include <array>
#include <span>
#include <string_view>

#include "app/classify.h"

namespace mirabo {

enum class ViewProperty { Visible, Enabled };

// On, Off, or "-": left as it was. RenBarOn: on unless the rename bars are
// hidden by the RenBar setting.
enum class ViewState { Off, On, Keep, RenBarOn };

struct ViewRow {
  std::string_view control;
  ViewProperty property;
  std::array<ViewState, kViewModeCount> states;
};

std::span<const ViewRow> ViewTable();

// The state a row asks for in a mode: true/false, or nothing for "left as it was".
enum class Wanted { Off, On, Keep };
Wanted WantedState(const ViewRow& row, ViewMode mode, bool renBarHidden);

// Whether the text view's menu opens on a right click in this mode.
bool TextMenuOpens(ViewMode mode);

// The zoom label is reset to "100%" in every mode but JPEG's, which keeps
// the label of its zoom level.
bool ZoomLabelResets(ViewMode mode);

// The zoom label of a zoom level 0 to 3: "100%", "50%", "25%", "12.5%".
const wchar_t* ZoomLabel(int level);
// The JPEG scale denominator of a zoom level; full size outside 0 to 3.
int ZoomScaleDenominator(int level);

}  // namespace mirabo
