#pragma once
// The command map: every button, separator, embedded control and menu item
// of the main window, in display order, with its hint or caption, its
// picture and the handler it runs. Toolbars and menus are built from it, and
// commands are dispatched through it.
#include <span>
#include <string_view>

namespace mirabo {

class TForm1;
using CommandHandler = void (TForm1::*)();

enum class Surface { ToolBar1, ToolBar2, ToolBar3, ToolBar5, PopupMenu1, PopupMenu2, PopupMenu3 };

enum class CommandKind {
  Button,
  Toggle,     // a button that stays pressed
  Separator,  // on a toolbar or in a menu
  Embedded,   // a control of the window's own placed on a toolbar (width in pixels)
  MenuItem,
};

struct Command {
  std::string_view name;
  Surface surface;
  CommandKind kind;
  const wchar_t* text;  // the hint of a button, the caption of a menu item
  int picture;          // picture number in the image list, -1 for none
  CommandHandler handler;
  bool visible = true;
  int width = 0;        // embedded controls and separators
};

std::span<const Command> CommandMap();

// Command ids are positions in the map, offset so they never clash with
// the system's.
constexpr int kFirstCommandId = 1000;
inline int CommandId(size_t index) { return kFirstCommandId + static_cast<int>(index); }
const Command* CommandById(int id);
int CommandIdOf(std::string_view name);  // 0 when there is none

}  // namespace mirabo
