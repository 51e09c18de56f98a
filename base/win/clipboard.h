#pragma once
// The clipboard's two uses: text (as Unicode and as Shift-JIS, so every
// program reads it) and a picture as a packed DIB. Each call empties the
// clipboard first; a clipboard another program holds open is left alone.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mirabo::win {

// Puts the text even when it is empty (an empty text is still a text).
void SetClipboardText(HWND owner, const std::string& cp932);
// Unicode text; as Shift-JIS too when every character has a Shift-JIS
// form (otherwise a program that asks for it gets the system's own
// conversion of the Unicode text).
void SetClipboardText(HWND owner, const std::wstring& text);
void SetClipboardDib(HWND owner, const std::vector<uint8_t>& packedDib);
// A drawing as itself (programs that take drawings keep it sharp at any
// size) and as the packed DIB of its pixels for those that take pixels.
void SetClipboardDrawing(HWND owner, HENHMETAFILE drawing, const std::vector<uint8_t>& packedDib);
// Empties the clipboard and puts nothing.
void EmptyClipboardOf(HWND owner);

// A bitmap's pixels as a packed DIB (header, colour table, rows) at its own
// bit depth; empty when the bitmap cannot be read.
std::vector<uint8_t> PackedDib(HBITMAP bitmap);

}  // namespace mirabo::win
