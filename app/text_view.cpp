#include "app/text_view.h"

#include "app/win/controls.h"
#include "app/win/text.h"

namespace mirabo {

EditTextView::EditTextView(HWND parent) {
  hwnd_ = win::CreateChild(L"EDIT", L"",
                           WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                               ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_NOHIDESEL,
                           parent, 0, WS_EX_CLIENTEDGE);
  ::SendMessageW(hwnd_, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
  SetFont(L"FixedSys", 9);
}

void EditTextView::SetText(std::string_view cp932) {
  // The edit control wants CR LF; lone LF and CR end lines too.
  const std::wstring wide = win::Cp932ToWide(cp932);
  std::wstring text;
  text.reserve(wide.size() + wide.size() / 16);
  for (size_t i = 0; i < wide.size(); ++i) {
    const wchar_t c = wide[i];
    if (c == L'\r') {
      text += L"\r\n";
      if (i + 1 < wide.size() && wide[i + 1] == L'\n') ++i;
    } else if (c == L'\n') {
      text += L"\r\n";
    } else if (c == L'\0') {
      text += L' ';  // the control would stop at the first NUL
    } else {
      text += c;
    }
  }
  ::SetWindowTextW(hwnd_, text.c_str());
}

std::wstring EditTextView::Text() const {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd_)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
  return text;
}

void EditTextView::SetFont(const std::wstring& face, int pointSize) {
  win::WindowDC dc(hwnd_);
  const int height = -MulDiv(pointSize, ::GetDeviceCaps(dc.Get(), LOGPIXELSY), 72);
  font_.Reset(::CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0,
                            DEFAULT_QUALITY, FIXED_PITCH, face.c_str()));
  face_ = face;
  size_ = pointSize;
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), TRUE);
}

}  // namespace mirabo
