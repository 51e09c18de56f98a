// The main window's elements by the names the command map and the view
// table use: windows, toolbar buttons and menu items, each shown or hidden,
// enabled or disabled through one accessor.
#include <windows.h>
#include <commctrl.h>

#include "app/unit1.h"

namespace mirabo {

HWND TForm1::WindowOf(std::string_view name) const {
  const auto it = elements_.find(name);
  return it != elements_.end() && it->second.kind == Element::Kind::Window ? it->second.hwnd : nullptr;
}

bool TForm1::HasElement(std::string_view name) const { return elements_.find(name) != elements_.end(); }

std::wstring TForm1::TextOf(std::string_view name) const {
  if (name == "PanelCou") return panelCou_.Caption();
  if (name == "Panel1") return panel1_.Caption();
  if (name == "Panel2") return panel2_.Caption();
  if (name == "PanelFName") return panelFName_.Caption();
  if (name == "PanelM_Pos") return panelMPos_.Caption();
  const HWND hwnd = WindowOf(name);
  if (!hwnd) return {};
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

win::PopupMenu& TForm1::PopupMenu(Surface surface) { return menus_[surface]; }

bool TForm1::Property(std::string_view name, ViewProperty property, std::optional<bool> value) {
  const auto it = elements_.find(name);
  if (it == elements_.end()) return false;
  const Element& e = it->second;
  const bool visible = property == ViewProperty::Visible;
  switch (e.kind) {
    case Element::Kind::Window:
      if (value) {
        if (visible) ::ShowWindow(e.hwnd, *value ? SW_SHOWNA : SW_HIDE);
        else ::EnableWindow(e.hwnd, *value);
      }
      return visible ? (::GetWindowLongW(e.hwnd, GWL_STYLE) & WS_VISIBLE) != 0 : ::IsWindowEnabled(e.hwnd) != FALSE;
    case Element::Kind::ToolButton: {
      const auto id = static_cast<WPARAM>(e.id);
      if (value) ::SendMessageW(e.hwnd, visible ? TB_HIDEBUTTON : TB_ENABLEBUTTON, id, visible ? !*value : *value);
      return visible ? !::SendMessageW(e.hwnd, TB_ISBUTTONHIDDEN, id, 0)
                     : ::SendMessageW(e.hwnd, TB_ISBUTTONENABLED, id, 0) != 0;
    }
    case Element::Kind::MenuItem: {
      // The menus are models, built into system menus only when they open.
      const auto menu = menus_.find(e.surface);
      win::MenuItem* item = menu == menus_.end() ? nullptr : menu->second.Find(e.id);
      if (!item) return false;
      bool& flag = visible ? item->visible : item->enabled;
      if (value) flag = *value;
      return flag;
    }
  }
  return false;
}

bool TForm1::IsShown(std::string_view name) { return Property(name, ViewProperty::Visible); }
bool TForm1::IsEnabled(std::string_view name) { return Property(name, ViewProperty::Enabled); }
void TForm1::SetShown(std::string_view name, bool shown) { Property(name, ViewProperty::Visible, shown); }
void TForm1::SetEnabled(std::string_view name, bool enabled) { Property(name, ViewProperty::Enabled, enabled); }

bool TForm1::IsChecked(std::string_view name) const {
  const auto it = elements_.find(name);
  if (it == elements_.end() || it->second.kind != Element::Kind::ToolButton) return false;
  return ::SendMessageW(it->second.hwnd, TB_ISBUTTONCHECKED, static_cast<WPARAM>(it->second.id), 0) != 0;
}

void TForm1::RunCommand(Cmd id) {
  const Command* c = CommandById(CommandId(id));
  if (c && c->handler && !busy_) (this->*(c->handler))();
}

void TForm1::ShowPopup(win::PopupMenu& menu, POINT screen) {
  if (!menu.autoPopup || busy_) return;
  const Command* c = CommandById(menu.Track(Handle(), screen, imageList1_));
  if (c && c->handler) (this->*(c->handler))();
}

}  // namespace mirabo
