#pragma once
// The text view behind RichEdit1: read-only plain text with both scroll
// bars and no word wrap, a caret and a selection, copy to the clipboard. It
// shows lines from a line source (Shift-JIS, UTF-8 or UTF-16 bytes) and asks
// it only for the lines on screen, decoding just those, so a file's size
// costs neither time nor memory. Lines are drawn as UTF-16 with the
// system's font linking for what the font lacks; columns and tab stops count
// the characters as they are seen (a wide character two cells).
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/win/unique_handle.h"
#include "base/win/window.h"
#include "text/line_source.h"

namespace mirabo {

// A place in the text: a line and the byte offset of a character in it.
struct TextPosition {
  uint64_t line = 0;
  size_t column = 0;
  auto operator<=>(const TextPosition&) const = default;
};

class ITextView {
 public:
  virtual ~ITextView() = default;
  virtual HWND Handle() const = 0;
  // Replaces the whole content (CP932 bytes, CR LF, LF and CR ending lines).
  virtual void SetText(std::string cp932) = 0;
  virtual void SetSource(std::shared_ptr<const ILineSource> source) = 0;
  virtual uint64_t LineCount() const = 0;
  // The line's bytes in the source's encoding.
  virtual std::string Line(uint64_t index) const = 0;
  // The line's characters.
  virtual std::wstring LineText(uint64_t index) const = 0;
  virtual text::Encoding Encoding() const = 0;
  // The whole text as UTF-16 with CR LF between lines (for small texts).
  virtual std::wstring Text() const = 0;
  // The face at pointSize on a screen of dpi dots per inch.
  virtual void SetFont(const std::wstring& face, int pointSize, int dpi) = 0;
  virtual std::wstring FontName() const = 0;
  virtual int FontSize() const = 0;
  virtual TextPosition SelStart() const = 0;
  virtual void SetSelStart(TextPosition position) = 0;
  virtual std::string SelectedText() const = 0;  // the source's bytes, CR LF between lines
  virtual std::wstring SelectedWideText() const = 0;
  // The selection as Unicode text (and as Shift-JIS: a Shift-JIS file's
  // bytes as they are, other text where Shift-JIS has every character).
  // Without a selection the clipboard is emptied, or given an empty text
  // when evenEmpty.
  virtual void CopyToClipboard(bool evenEmpty = false) const = 0;
};

class TTextControl : public ITextView, public win::Window<TTextControl> {
 public:
  explicit TTextControl(HWND parent);
  HWND Handle() const override { return Window::Handle(); }
  void SetText(std::string cp932) override;
  void SetSource(std::shared_ptr<const ILineSource> source) override;
  uint64_t LineCount() const override { return source_->LineCount(); }
  std::string Line(uint64_t index) const override { return source_->Line(index); }
  std::wstring LineText(uint64_t index) const override;
  text::Encoding Encoding() const override { return source_->Encoding(); }
  std::wstring Text() const override;
  void SetFont(const std::wstring& face, int pointSize, int dpi) override;
  std::wstring FontName() const override { return face_; }
  int FontSize() const override { return size_; }
  TextPosition SelStart() const override { return std::min(anchor_, caret_); }
  void SetSelStart(TextPosition position) override;
  std::string SelectedText() const override;
  std::wstring SelectedWideText() const override;
  void CopyToClipboard(bool evenEmpty = false) const override;

  TextPosition Caret() const { return caret_; }
  TextPosition Anchor() const { return anchor_; }
  uint64_t TopLine() const { return top_; }
  int LineHeight() const { return lineHeight_; }
  void SelectAll();

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 private:
  // The line as drawn: decoded, tabs expanded to the next multiple of eight
  // cells.
  std::wstring DisplayText(const std::string& bytes) const;
  std::wstring Decoded(std::string_view bytes) const;
  size_t NextChar(const std::string& line, size_t at) const;
  size_t PrevChar(const std::string& line, size_t at) const;
  int ColumnX(const std::string& bytes, size_t column) const;
  size_t ColumnAt(const std::string& bytes, int x) const;
  TextPosition HitTest(int x, int y) const;
  void MoveCaret(TextPosition to, bool extend);
  void ScrollTo(uint64_t top, int left);
  void EnsureVisible();
  void UpdateBars();
  void PlaceCaret();
  void Paint(HDC dc, const RECT& dirty);
  void OnKey(WPARAM key);
  uint64_t VisibleLines() const;
  int ContentWidth() const;
  size_t ClampColumn(uint64_t line, size_t column) const;

  std::shared_ptr<const ILineSource> source_;
  win::UniqueFont font_;
  std::wstring face_;
  int size_ = 0;
  int lineHeight_ = 16, charWidth_ = 8;
  uint64_t top_ = 0;
  int left_ = 0;
  TextPosition caret_, anchor_;
  bool selecting_ = false;
};

}  // namespace mirabo
