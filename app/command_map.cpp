#include "app/command_map.h"

#include "app/unit1.h"

namespace mirabo {
namespace {

using S = Surface;
using K = CommandKind;
using F = TForm1;

constexpr Command kMap[] = {
    // The main toolbar, left to right.
    {Cmd::ToolButton32, S::ToolBar1, K::Button, L"ラウンチ", 19, &F::ToolButton32Click},
    {Cmd::ToolButton17, S::ToolBar1, K::Button, L"戻る", 11, &F::ToolButton17Click},
    {Cmd::PanelCou, S::ToolBar1, K::Embedded, L"枚数", -1, nullptr, true, 50},
    {Cmd::ToolButton18, S::ToolBar1, K::Button, L"進む", 12, &F::ToolButton18Click},
    {Cmd::ToolButton6, S::ToolBar1, K::Separator, nullptr, -1, nullptr},
    {Cmd::ToolButton1, S::ToolBar1, K::Button, L"拡大", 0, &F::ToolButton1Click},
    {Cmd::Panel1, S::ToolBar1, K::Embedded, L"倍率", -1, nullptr, true, 41},
    {Cmd::ToolButton2, S::ToolBar1, K::Button, L"縮小", 1, &F::ToolButton2Click},
    {Cmd::ToolButton30, S::ToolBar1, K::Toggle, L"ＦｉｔＷｉｎ（Ｊｐｅｇ）", 17, &F::ToolButton30Click},
    {Cmd::ToolButton31, S::ToolBar1, K::Toggle, L"スライドショー", 18, &F::ToolButton31Click},
    {Cmd::ToolButton3, S::ToolBar1, K::Separator, nullptr, -1, nullptr},
    {Cmd::ToolButton4, S::ToolBar1, K::Button, L"左回転", 2, &F::ToolButton4Click},
    {Cmd::ToolButton5, S::ToolBar1, K::Button, L"右回転", 3, &F::ToolButton5Click},
    {Cmd::ToolButton16, S::ToolBar1, K::Separator, nullptr, -1, nullptr},
    {Cmd::ToolButton7, S::ToolBar1, K::Button, L"情報", 4, &F::ToolButton7Click, false},
    {Cmd::ToolButton8, S::ToolBar1, K::Separator, nullptr, -1, nullptr, false},
    {Cmd::ToolButton26, S::ToolBar1, K::Button, L"クリップボードにＣｏｐｙ", 15, &F::ToolButton26Click},
    {Cmd::ToolButton9, S::ToolBar1, K::Button, L"保存", 5, &F::ToolButton9Click},
    {Cmd::ToolButton10, S::ToolBar1, K::Button, L"Ｍａｉｌ", 6, &F::ToolButton10Click},
    {Cmd::ToolButton11, S::ToolBar1, K::Button, L"印刷", 7, &F::ToolButton11Click},
    {Cmd::ToolButton12, S::ToolBar1, K::Separator, nullptr, -1, nullptr},
    {Cmd::ToolButton13, S::ToolBar1, K::Button, L"設定他", 8, &F::ToolButton13Click},
    {Cmd::ToolButton33, S::ToolBar1, K::Button, L"Ｈｅｌｐ", 24, &F::ToolButton33Click},
    {Cmd::EditKey, S::ToolBar1, K::Embedded, nullptr, -1, nullptr, true, 1},

    // The rotate-save and rename bar.
    {Cmd::ToolButton14, S::ToolBar2, K::Button, L"左回転保存", 9, &F::ToolButton14Click},
    {Cmd::ToolButton15, S::ToolBar2, K::Button, L"右回転保存", 10, &F::ToolButton15Click},
    {Cmd::PanelFName, S::ToolBar2, K::Embedded, nullptr, -1, nullptr, true, 291},
    {Cmd::ToolButton27, S::ToolBar2, K::Button, L"戻る", 11, &F::ToolButton17Click},
    {Cmd::ToolButton19, S::ToolBar2, K::Button, L"リネーム・進む", 13, &F::ToolButton19Click},
    {Cmd::ToolButton28, S::ToolBar2, K::Button, L"進む", 12, &F::ToolButton18Click},
    {Cmd::ToolButton34, S::ToolBar2, K::Separator, nullptr, -1, nullptr},
    {Cmd::ToolButton35, S::ToolBar2, K::Separator, nullptr, -1, nullptr},
    {Cmd::ToolButton29, S::ToolBar2, K::Button, L"削除・進む", 16, &F::ToolButton29Click},

    // The page bar (no hints).
    {Cmd::ToolButton21, S::ToolBar3, K::Button, nullptr, 11, &F::ToolButton21Click},
    {Cmd::Panel2, S::ToolBar3, K::Embedded, nullptr, -1, nullptr, true, 50},
    {Cmd::ToolButton22, S::ToolBar3, K::Button, nullptr, 12, &F::ToolButton22Click},
    {Cmd::ToolButton24, S::ToolBar3, K::Separator, nullptr, -1, nullptr},
    {Cmd::ToolButton23, S::ToolBar3, K::Button, nullptr, 2, &F::ToolButton23Click},
    {Cmd::ToolButton25, S::ToolBar3, K::Button, nullptr, 3, &F::ToolButton25Click},

    // The rename bar.
    {Cmd::Label4, S::ToolBar5, K::Embedded, nullptr, -1, nullptr, true, 64},
    {Cmd::EditFix, S::ToolBar5, K::Embedded, L"固定部", -1, &F::EditFixChange, true, 120},
    {Cmd::CheckBoxDate, S::ToolBar5, K::Embedded, L"日付を入れる", -1, &F::EditFixChange, true, 48},
    {Cmd::Label2, S::ToolBar5, K::Embedded, nullptr, -1, nullptr, true, 16},
    {Cmd::EditDegit, S::ToolBar5, K::Embedded, L"桁数", -1, &F::EditFixChange, true, 24},
    {Cmd::UpDown1, S::ToolBar5, K::Embedded, nullptr, -1, nullptr, true, 16},
    {Cmd::Label3, S::ToolBar5, K::Embedded, nullptr, -1, nullptr, true, 20},
    {Cmd::EditCou, S::ToolBar5, K::Embedded, L"番号", -1, &F::EditFixChange, true, 40},
    {Cmd::UpDown2, S::ToolBar5, K::Embedded, nullptr, -1, nullptr, true, 16},
    {Cmd::ToolButton20, S::ToolBar5, K::Button, L"リセット", 14, &F::ToolButton20Click},

    // The text view's menu.
    {Cmd::N5, S::PopupMenu1, K::MenuItem, L"情報表示", 4, &F::ToolButton7Click},
    {Cmd::N6, S::PopupMenu1, K::MenuItem, L"元データ表示", 22, &F::N6Click},
    {Cmd::mnuBin, S::PopupMenu1, K::MenuItem, L"バイナリ表示", 23, &F::mnuBinClick},
    {Cmd::mnuToSJIS, S::PopupMenu1, K::MenuItem, L"ＳＪＩＳ変換表示", 21, &F::mnuToSJISClick},
    {Cmd::mnuNKF, S::PopupMenu1, K::MenuItem, L"nkf変換", -1, &F::mnuNKFClick, false},
    {Cmd::N7, S::PopupMenu1, K::Separator, nullptr, -1, nullptr},
    {Cmd::Copy1, S::PopupMenu1, K::MenuItem, L"選択部コピー", 15, &F::Copy1Click},

    // The picture menu.
    {Cmd::mnuMax, S::PopupMenu2, K::MenuItem, L"最大化", -1, &F::mnuMaxClick, false},
    {Cmd::mnuNom, S::PopupMenu2, K::MenuItem, L"元へ戻す", -1, &F::mnuNomClick, false},
    {Cmd::mnuMin, S::PopupMenu2, K::MenuItem, L"最小化", -1, &F::mnuMinClick, false},
    {Cmd::N1, S::PopupMenu2, K::Separator, nullptr, -1, nullptr, false},
    {Cmd::mnuZoomUp, S::PopupMenu2, K::MenuItem, L"拡大", 0, &F::ToolButton1Click},
    {Cmd::mnuZoomDown, S::PopupMenu2, K::MenuItem, L"縮小", 1, &F::ToolButton2Click},
    {Cmd::N2, S::PopupMenu2, K::Separator, nullptr, -1, nullptr},
    {Cmd::mnuLeft, S::PopupMenu2, K::MenuItem, L"左回転", 2, &F::ToolButton4Click},
    {Cmd::mnuRight, S::PopupMenu2, K::MenuItem, L"右回転", 3, &F::ToolButton5Click},
    {Cmd::mnuLeftS, S::PopupMenu2, K::MenuItem, L"左回転保存", 9, &F::ToolButton14Click, false},
    {Cmd::mnuRightS, S::PopupMenu2, K::MenuItem, L"右回転保存", 10, &F::ToolButton15Click, false},
    {Cmd::N3, S::PopupMenu2, K::Separator, nullptr, -1, nullptr},
    {Cmd::mnuCopy, S::PopupMenu2, K::MenuItem, L"コピー", 15, &F::ToolButton26Click},
    {Cmd::mnuSave, S::PopupMenu2, K::MenuItem, L"保存", 5, &F::ToolButton9Click},
    {Cmd::mnuMail, S::PopupMenu2, K::MenuItem, L"メール", 6, &F::ToolButton10Click},
    {Cmd::mnuPrint, S::PopupMenu2, K::MenuItem, L"印刷", 7, &F::ToolButton11Click},
    {Cmd::N4, S::PopupMenu2, K::Separator, nullptr, -1, nullptr},
    {Cmd::mnuExit, S::PopupMenu2, K::MenuItem, L"終了", -1, &F::mnuExitClick},

    // The tray menu.
    {Cmd::mnuNormal, S::PopupMenu3, K::MenuItem, L"元へ戻す", 14, &F::mnuNormalClick},
    {Cmd::mnuEnd, S::PopupMenu3, K::MenuItem, L"終了", 20, &F::mnuEndClick},
};

// The map's rows stand in the order of their ids.
constexpr bool InIdOrder() {
  if (std::size(kMap) != static_cast<size_t>(kCommandCount)) return false;
  for (size_t i = 0; i < std::size(kMap); ++i)
    if (static_cast<int>(kMap[i].id) != kFirstCommandId + static_cast<int>(i)) return false;
  return true;
}
static_assert(InIdOrder(), "the command map and the list of commands differ");

}  // namespace

std::span<const Command> CommandMap() { return kMap; }

const Command* CommandById(int id) {
  const int index = id - kFirstCommandId;
  if (index < 0 || index >= static_cast<int>(std::size(kMap))) return nullptr;
  return &kMap[index];
}

const Command* CommandNamed(std::string_view name) {
  for (const Command& c : kMap)
    if (c.name == name) return &c;
  return nullptr;
}

}  // namespace mirabo
