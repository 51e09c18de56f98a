#pragma once
// The command map: every button, separator, embedded control and menu item
// of the main window, in display order, with its hint or caption, its
// picture and the handler it runs. Toolbars and menus are built from it, and
// commands are dispatched through it.
#include <array>
#include <span>
#include <string_view>

namespace mirabo {

// Every command by the name of its control, in the map's order: the names
// the handlers, the view table and the tests use. Each is a Cmd, so a
// misspelt name does not compile; its value is the id the window's
// messages carry.
// clang-format off
#define MIRABO_COMMANDS(X) \
  X(ToolButton32) X(ToolButton17) X(PanelCou) X(ToolButton18) X(ToolButton6) X(ToolButton1) X(Panel1) \
  X(ToolButton2) X(ToolButton30) X(ToolButton31) X(ToolButton3) X(ToolButton4) X(ToolButton5) X(ToolButton16) \
  X(ToolButton7) X(ToolButton8) X(ToolButton26) X(ToolButton9) X(ToolButton10) X(ToolButton11) \
  X(ToolButton12) X(ToolButton13) X(ToolButton33) X(EditKey) X(ToolButton14) X(ToolButton15) X(PanelFName) \
  X(ToolButton27) X(ToolButton19) X(ToolButton28) X(ToolButton34) X(ToolButton35) X(ToolButton29) \
  X(ToolButton21) X(Panel2) X(ToolButton22) X(ToolButton24) X(ToolButton23) X(ToolButton25) X(Label4) \
  X(EditFix) X(CheckBoxDate) X(Label2) X(EditDegit) X(UpDown1) X(Label3) X(EditCou) X(UpDown2) \
  X(ToolButton20) X(N5) X(N6) X(mnuBin) X(mnuToSJIS) X(mnuNKF) X(N7) X(Copy1) X(mnuMax) X(mnuNom) X(mnuMin) \
  X(N1) X(mnuZoomUp) X(mnuZoomDown) X(N2) X(mnuLeft) X(mnuRight) X(mnuLeftS) X(mnuRightS) X(N3) X(mnuCopy) \
  X(mnuSave) X(mnuMail) X(mnuPrint) X(N4) X(mnuExit) X(mnuNormal) X(mnuEnd)
// clang-format on

// Command ids are positions in the map, offset so they never clash with
// the system's.
constexpr int kFirstCommandId = 1000;

#define MIRABO_COMMAND_ENUM(name) name,
enum class Cmd : int { First = kFirstCommandId - 1, MIRABO_COMMANDS(MIRABO_COMMAND_ENUM) End };
#undef MIRABO_COMMAND_ENUM
inline constexpr int kCommandCount = static_cast<int>(Cmd::End) - kFirstCommandId;

#define MIRABO_COMMAND_NAME(name) #name,
inline constexpr std::array<std::string_view, kCommandCount> kCommandNames = {MIRABO_COMMANDS(MIRABO_COMMAND_NAME)};
#undef MIRABO_COMMAND_NAME

constexpr std::string_view CommandName(Cmd id) {
  return kCommandNames[static_cast<size_t>(static_cast<int>(id) - kFirstCommandId)];
}

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
  constexpr Command(Cmd id, Surface surface, CommandKind kind, const wchar_t* text, int picture, CommandHandler handler,
                    bool visible = true, int width = 0)
      : id(id), name(CommandName(id)), surface(surface), kind(kind), text(text), picture(picture), handler(handler),
        visible(visible), width(width) {}
  Cmd id;
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

inline int CommandId(Cmd id) { return static_cast<int>(id); }
const Command* CommandById(int id);
// The command of a control's name (a test's, a table's); nullptr for none.
const Command* CommandNamed(std::string_view name);

}  // namespace mirabo
