// The test environment itself: what the program assumes of a Japanese
// Windows must hold here, or every later test would pass for wrong reasons.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/win/text.h"
#include "base/win/unique_handle.h"

namespace mirabo {
namespace {

TEST(Harness, TheAnsiCodePageIs932) { EXPECT_EQ(::GetACP(), 932u); }

TEST(Harness, TheFacesTheProgramNamesExistAndHoldJapanese) {
  const wchar_t* faces[] = {L"ＭＳ Ｐゴシック", L"MS UI Gothic", L"Terminal", L"FixedSys"};
  win::WindowDC screen(nullptr);
  for (const wchar_t* face : faces) {
    SCOPED_TRACE(win::WideToUtf8(face));
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    win::UniqueFont font(::CreateFontIndirectW(&lf));
    ASSERT_TRUE(font);
    const HGDIOBJ old = ::SelectObject(screen.Get(), font.Get());
    wchar_t actual[LF_FACESIZE] = {};
    ::GetTextFaceW(screen.Get(), LF_FACESIZE, actual);
    EXPECT_STREQ(actual, face);
    WORD glyphs[2] = {};
    EXPECT_EQ(::GetGlyphIndicesW(screen.Get(), L"無題", 2, glyphs, GGI_MARK_NONEXISTING_GLYPHS), 2u);
    EXPECT_NE(glyphs[0], 0xFFFF) << "no glyph for 無";
    EXPECT_NE(glyphs[1], 0xFFFF) << "no glyph for 題";
    ::SelectObject(screen.Get(), old);
  }
}

TEST(Harness, TextConversionsNameTheirCodePages) {
  EXPECT_EQ(win::WideToCp932(L"無題"), "\x96\xB3\x91\xE8");
  EXPECT_EQ(win::Cp932ToWide("\x96\xB3\x91\xE8"), L"無題");
  EXPECT_EQ(win::Utf8ToWide("\xE7\x84\xA1"), L"無");
  EXPECT_EQ(win::WideToUtf8(L"ё"), "\xD1\x91");
  EXPECT_EQ(win::WideToCp932(L"a\U0001F600b").front(), 'a');
  EXPECT_EQ(win::Cp932ToWide(""), L"");
}

}  // namespace
}  // namespace mirabo
