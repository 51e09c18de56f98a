#pragma once
// The text view behind RichEdit1: read-only plain text of CP932 bytes with
// both scroll bars and no word wrap. This is the plain system edit control;
// the program's own virtual control takes its place behind the same
// interface.
#include <windows.h>

#include <string>
#include <string_view>

#include "app/win/unique_handle.h"

namespace mirabo {

class ITextView {
 public:
  virtual ~ITextView() = default;
  virtual HWND Handle() const = 0;
  virtual void SetText(std::string_view cp932) = 0;
  virtual std::wstring Text() const = 0;
  virtual void SetFont(const std::wstring& face, int pointSize) = 0;
  virtual std::wstring FontName() const = 0;
  virtual int FontSize() const = 0;
};

class EditTextView : public ITextView {
 public:
  explicit EditTextView(HWND parent);
  HWND Handle() const override { return hwnd_; }
  void SetText(std::string_view cp932) override;
  std::wstring Text() const override;
  void SetFont(const std::wstring& face, int pointSize) override;
  std::wstring FontName() const override { return face_; }
  int FontSize() const override { return size_; }

 private:
  HWND hwnd_ = nullptr;  // a child of the scroll box, destroyed with it
  win::UniqueFont font_;
  std::wstring face_;
  int size_ = 0;
};

}  // namespace mirabo
