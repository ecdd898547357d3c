// Shell icon images: Direct2D bitmaps of the shell's icons for files and
// folders, made from the system image list through WIC. DrawShellIcon of
// the framework caches them per render target and path; these makers keep
// no cache. UI thread only, with COM initialised.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <cstdint>
#include <string>

// The icon of an existing path, from the 48 px list for edges below 79 and
// from the 256 px list otherwise. One reference for the caller, or null.
ID2D1Bitmap* GetShellIconForPath(ID2D1RenderTarget* target, const std::wstring& path, int edge);
// A 36 x 36 bitmap of the icon that the name's type has, whether or not
// the file exists. One reference for the caller, or null.
ID2D1Bitmap* DrawShellIconToBitmap(ID2D1RenderTarget* target, const std::wstring& path);
// The whole bitmap drawn into the square (x, y, size); nothing for nulls.
void DrawBitmapInSquare(ID2D1RenderTarget* target, ID2D1Bitmap* bitmap, float x, float y, float size);

// Any thread, once per process: the shell's first answer about an icon
// sets up its image lists, a pause long enough to be felt; asked on a
// worker as the first box is made, the first icon a box paints need not
// wait for it on the UI thread.
void WarmShellIconKinds();

// Makes LoadSharedShellIcon the loader behind DrawShellIcon. Idempotent.
void InstallShellIconLoader();

// The loader behind DrawShellIcon: the icon that GetShellIconForPath would
// give, shared by every path of one kind. A folder shows the folder image
// and a plain file its type's, each asked of the shell once per kind; a
// file whose icon is its own (a program, a shortcut, an icon file) is asked
// on a worker, and gives null (nothing drawn) until the answer is in, when
// the window of the render target is repainted. One reference for the
// caller, or null. UI thread only.
ID2D1Bitmap* LoadSharedShellIcon(ID2D1RenderTarget* target, const std::wstring& path, int edge);

// The kind whose icon a path shares, from its attributes: "<folder>" for a
// folder, "." and the lower-cased extension for a plain file ("." for none),
// empty for what needs a look of its own (a file whose icon is its own, a
// drive's root, a path that is not there).
std::wstring ShellIconKindOf(const std::wstring& path, DWORD attributes);

// SHIL_EXTRALARGE or SHIL_JUMBO for an icon edge.
int ShellImageListForEdge(int edge);
// Old icons carry no alpha channel: every alpha byte of their 32-bit BGRA
// pixels is 0, which would draw nothing. Sets alpha to 255 in that case and
// returns true; leaves pixels with any alpha untouched.
bool MakeOpaqueWhenAlphaMissing(uint8_t* bgra, uint32_t stride, uint32_t width, uint32_t height);
