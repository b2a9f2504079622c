#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The text on the clipboard, or nothing when it holds no text or cannot be opened (another
// program has it open). The clipboard is opened for `owner` and closed again before this
// returns, whatever happens.
std::optional<std::wstring> ClipboardText(HWND owner);
