#include "app/command_map.h"

#include "app/unit1.h"

namespace mirabo {
namespace {

using S = Surface;
using K = CommandKind;
using F = TForm1;

const Command kMap[] = {
    // The main toolbar, left to right.
    {"ToolButton32", S::ToolBar1, K::Button, L"ラウンチ", 19, &F::ToolButton32Click},
    {"ToolButton17", S::ToolBar1, K::Button, L"戻る", 11, &F::ToolButton17Click},
    {"PanelCou", S::ToolBar1, K::Embedded, L"枚数", -1, nullptr, true, 50},
    {"ToolButton18", S::ToolBar1, K::Button, L"進む", 12, &F::ToolButton18Click},
    {"ToolButton6", S::ToolBar1, K::Separator, nullptr, -1, nullptr},
    {"ToolButton1", S::ToolBar1, K::Button, L"拡大", 0, &F::ToolButton1Click},
    {"Panel1", S::ToolBar1, K::Embedded, L"倍率", -1, nullptr, true, 41},
    {"ToolButton2", S::ToolBar1, K::Button, L"縮小", 1, &F::ToolButton2Click},
    {"ToolButton30", S::ToolBar1, K::Toggle, L"ＦｉｔＷｉｎ（Ｊｐｅｇ）", 17, &F::ToolButton30Click},
    {"ToolButton31", S::ToolBar1, K::Toggle, L"スライドショー", 18, &F::ToolButton31Click},
    {"ToolButton3", S::ToolBar1, K::Separator, nullptr, -1, nullptr},
    {"ToolButton4", S::ToolBar1, K::Button, L"左回転", 2, &F::ToolButton4Click},
    {"ToolButton5", S::ToolBar1, K::Button, L"右回転", 3, &F::ToolButton5Click},
    {"ToolButton16", S::ToolBar1, K::Separator, nullptr, -1, nullptr},
    {"ToolButton7", S::ToolBar1, K::Button, L"情報", 4, &F::ToolButton7Click, false},
    {"ToolButton8", S::ToolBar1, K::Separator, nullptr, -1, nullptr, false},
    {"ToolButton26", S::ToolBar1, K::Button, L"クリップボードにＣｏｐｙ", 15, &F::ToolButton26Click},
    {"ToolButton9", S::ToolBar1, K::Button, L"保存", 5, &F::ToolButton9Click},
    {"ToolButton10", S::ToolBar1, K::Button, L"Ｍａｉｌ", 6, &F::ToolButton10Click},
    {"ToolButton11", S::ToolBar1, K::Button, L"印刷", 7, &F::ToolButton11Click},
    {"ToolButton12", S::ToolBar1, K::Separator, nullptr, -1, nullptr},
    {"ToolButton13", S::ToolBar1, K::Button, L"設定他", 8, &F::ToolButton13Click},
    {"ToolButton33", S::ToolBar1, K::Button, L"Ｈｅｌｐ", 24, &F::ToolButton33Click},
    {"EditKey", S::ToolBar1, K::Embedded, nullptr, -1, nullptr, true, 1},

    // The rotate-save and rename bar.
    {"ToolButton14", S::ToolBar2, K::Button, L"左回転保存", 9, &F::ToolButton14Click},
    {"ToolButton15", S::ToolBar2, K::Button, L"右回転保存", 10, &F::ToolButton15Click},
    {"PanelFName", S::ToolBar2, K::Embedded, nullptr, -1, nullptr, true, 291},
    {"ToolButton27", S::ToolBar2, K::Button, L"戻る", 11, &F::ToolButton17Click},
    {"ToolButton19", S::ToolBar2, K::Button, L"リネーム・進む", 13, &F::ToolButton19Click},
    {"ToolButton28", S::ToolBar2, K::Button, L"進む", 12, &F::ToolButton18Click},
    {"ToolButton34", S::ToolBar2, K::Separator, nullptr, -1, nullptr},
    {"ToolButton35", S::ToolBar2, K::Separator, nullptr, -1, nullptr},
    {"ToolButton29", S::ToolBar2, K::Button, L"削除・進む", 16, &F::ToolButton29Click},

    // The page bar (no hints).
    {"ToolButton21", S::ToolBar3, K::Button, nullptr, 11, &F::ToolButton21Click},
    {"Panel2", S::ToolBar3, K::Embedded, nullptr, -1, nullptr, true, 50},
    {"ToolButton22", S::ToolBar3, K::Button, nullptr, 12, &F::ToolButton22Click},
    {"ToolButton24", S::ToolBar3, K::Separator, nullptr, -1, nullptr},
    {"ToolButton23", S::ToolBar3, K::Button, nullptr, 2, &F::ToolButton23Click},
    {"ToolButton25", S::ToolBar3, K::Button, nullptr, 3, &F::ToolButton25Click},

    // The rename bar.
    {"Label4", S::ToolBar5, K::Embedded, nullptr, -1, nullptr, true, 64},
    {"EditFix", S::ToolBar5, K::Embedded, L"固定部", -1, &F::EditFixChange, true, 120},
    {"CheckBoxDate", S::ToolBar5, K::Embedded, L"日付を入れる", -1, &F::EditFixChange, true, 48},
    {"Label2", S::ToolBar5, K::Embedded, nullptr, -1, nullptr, true, 16},
    {"EditDegit", S::ToolBar5, K::Embedded, L"桁数", -1, &F::EditFixChange, true, 24},
    {"UpDown1", S::ToolBar5, K::Embedded, nullptr, -1, nullptr, true, 16},
    {"Label3", S::ToolBar5, K::Embedded, nullptr, -1, nullptr, true, 20},
    {"EditCou", S::ToolBar5, K::Embedded, L"番号", -1, &F::EditFixChange, true, 40},
    {"UpDown2", S::ToolBar5, K::Embedded, nullptr, -1, nullptr, true, 16},
    {"ToolButton20", S::ToolBar5, K::Button, L"リセット", 14, &F::ToolButton20Click},

    // The text view's menu.
    {"N5", S::PopupMenu1, K::MenuItem, L"情報表示", 4, &F::ToolButton7Click},
    {"N6", S::PopupMenu1, K::MenuItem, L"元データ表示", 22, &F::N6Click},
    {"mnuBin", S::PopupMenu1, K::MenuItem, L"バイナリ表示", 23, &F::mnuBinClick},
    {"mnuToSJIS", S::PopupMenu1, K::MenuItem, L"ＳＪＩＳ変換表示", 21, &F::mnuToSJISClick},
    {"mnuNKF", S::PopupMenu1, K::MenuItem, L"nkf変換", -1, &F::mnuNKFClick, false},
    {"N7", S::PopupMenu1, K::Separator, nullptr, -1, nullptr},
    {"Copy1", S::PopupMenu1, K::MenuItem, L"選択部コピー", 15, &F::Copy1Click},

    // The picture menu.
    {"mnuMax", S::PopupMenu2, K::MenuItem, L"最大化", -1, &F::mnuMaxClick, false},
    {"mnuNom", S::PopupMenu2, K::MenuItem, L"元へ戻す", -1, &F::mnuNomClick, false},
    {"mnuMin", S::PopupMenu2, K::MenuItem, L"最小化", -1, &F::mnuMinClick, false},
    {"N1", S::PopupMenu2, K::Separator, nullptr, -1, nullptr, false},
    {"mnuZoomUp", S::PopupMenu2, K::MenuItem, L"拡大", 0, &F::ToolButton1Click},
    {"mnuZoomDown", S::PopupMenu2, K::MenuItem, L"縮小", 1, &F::ToolButton2Click},
    {"N2", S::PopupMenu2, K::Separator, nullptr, -1, nullptr},
    {"mnuLeft", S::PopupMenu2, K::MenuItem, L"左回転", 2, &F::ToolButton4Click},
    {"mnuRight", S::PopupMenu2, K::MenuItem, L"右回転", 3, &F::ToolButton5Click},
    {"mnuLeftS", S::PopupMenu2, K::MenuItem, L"左回転保存", 9, &F::ToolButton14Click, false},
    {"mnuRightS", S::PopupMenu2, K::MenuItem, L"右回転保存", 10, &F::ToolButton15Click, false},
    {"N3", S::PopupMenu2, K::Separator, nullptr, -1, nullptr},
    {"mnuCopy", S::PopupMenu2, K::MenuItem, L"コピー", 15, &F::ToolButton26Click},
    {"mnuSave", S::PopupMenu2, K::MenuItem, L"保存", 5, &F::ToolButton9Click},
    {"mnuMail", S::PopupMenu2, K::MenuItem, L"メール", 6, &F::ToolButton10Click},
    {"mnuPrint", S::PopupMenu2, K::MenuItem, L"印刷", 7, &F::ToolButton11Click},
    {"N4", S::PopupMenu2, K::Separator, nullptr, -1, nullptr},
    {"mnuExit", S::PopupMenu2, K::MenuItem, L"終了", -1, &F::mnuExitClick},

    // The tray menu.
    {"mnuNormal", S::PopupMenu3, K::MenuItem, L"元へ戻す", 14, &F::mnuNormalClick},
    {"mnuEnd", S::PopupMenu3, K::MenuItem, L"終了", 20, &F::mnuEndClick},
};

}  // namespace

std::span<const Command> CommandMap() { return kMap; }

const Command* CommandById(int id) {
  const int index = id - kFirstCommandId;
  if (index < 0 || index >= static_cast<int>(std::size(kMap))) return nullptr;
  return &kMap[index];
}

int CommandIdOf(std::string_view name) {
  for (size_t i = 0; i < std::size(kMap); ++i)
    if (kMap[i].name == name) return CommandId(i);
  return 0;
}

}  // namespace mirabo
