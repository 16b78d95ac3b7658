// Shortening a path to a pixel width: leading directories give way to
// "...\" one at a time, then the drive, until the text fits or only the
// file name is left.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// `path` shortened until `measure` of it is at most `maxWidth`: for
// C:\Program Files\Velto the steps are C:\...\Velto, ...\Velto, Velto.
std::string ShortenPath(const std::string& path, int maxWidth, const std::function<int(const std::string&)>& measure);

// ShortenPath measuring with the text width of `font` on the screen.
std::string ShortenPathToWidth(const std::string& path, HFONT font, int maxWidth);
