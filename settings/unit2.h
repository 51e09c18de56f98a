#pragma once
// The settings dialog "設定他": eleven pages of the settings, built from one
// table of pages and controls. It is shown modally by the main window's
// settings command, which takes every value back when it closes; a number
// box that does not hold an integer, or a text the settings file cannot
// hold, keeps it open with the error shown and the box focused.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/win/unique_handle.h"
#include "base/win/window.h"
#include "components/folder_dialog.h"
#include "settings/settings_host.h"

namespace mirabo {

class TForm2 : public win::Window<TForm2> {
 public:
  explicit TForm2(ISettingsHost& host);
  ~TForm2();

  // Makes the (hidden) window and fills it from the settings (FormCreate).
  void Create();
  // Shows it at its place, modally, until the user closes it with values
  // that can be taken.
  void ShowModal();
  // Takes every value back into the settings and gives the host what is
  // its (the text view's font, the browser list, the launch menu).
  void Apply();
  bool Closed() const { return closed_; }

  void FormCreate();
  void Button1Click();  // save folder
  void Button2Click();  // mail program
  void Button3Click();  // font
  void Button4Click();  // add an extension
  void Button5Click();  // delete an extension
  void Button6Click();  // plug-in folder
  void Button7Click();  // media background
  void Button8Click();  // send-to folder
  void Label5Click();   // home page
  void Label6Click();   // mail

  // ---- For the apply steps and for tests
  HWND Control(std::string_view name) const;
  std::wstring TextOf(std::string_view name) const;
  void SetText(std::string_view name, const std::wstring& text);
  bool Checked(std::string_view name) const;
  std::vector<std::wstring> ListItems(std::string_view name) const;
  int CurrentPage() const;
  void SelectPage(int page);
  const std::wstring& SampleFace() const { return sampleFace_; }
  int SampleSize() const { return sampleSize_; }

  TFolderDialog FolderDialog1;
  TMailAndHP MailAndHP1;

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 public:
  // A row of the table the dialog is built from.
  struct Row;

 private:
  void CreateControls();
  // Places and sizes everything at the dialog's DPI.
  void Arrange();
  // A caption's width: its row's, or as much more of the page as its text
  // needs; where the page has no more, a smaller font for it.
  int FittedWidth(const Row& row, HWND control, int available);
  void Command(int id, int code);
  // Checks what the apply steps will take; false (with the error shown, its
  // page up and the box focused) when something cannot be taken.
  bool Validate();
  void BrowseFolder(std::string_view edit, std::string& setting, bool searchPlugins);
  void BrowseFile(std::string_view edit, std::string& setting, const wchar_t* filter, bool loadBackground);
  void ListPlugins();
  // ListBox2 from the registry after a search of the folder (none when it
  // is empty); a failed search is shown and the list filled all the same.
  void SearchPlugins(const std::string& folder);
  void SetSampleFont(const std::wstring& face, int size);
  int Scaled(int pixels) const;

  ISettingsHost& host_;
  HWND tab_ = nullptr;
  std::vector<HWND> pages_;
  std::vector<HWND> controls_;  // by the table's rows
  win::UniqueFont titleFont_, linkFont_, sampleFont_;
  std::vector<win::UniqueFont> fittedFonts_;
  std::wstring sampleFace_;
  int sampleSize_ = 10;
  int dpi_ = 96;
  bool closed_ = false;
};

}  // namespace mirabo
