#pragma once

#include "request/ExitMessage.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What the open-file dialog is asked to show.
struct OpenFileRequest {
    std::string title;
    std::string filter; // description|pattern pairs separated by "|"
    std::string initialFolder;
    DWORD flags = 0;
    DWORD filterIndex = 0;
};

// What the user chose: the full path, and the name and extension alone.
struct OpenFileResult {
    std::string path;
    std::string title;
};

// The window's contacts with the world beyond it. Each has a real Win32 implementation;
// tests put recorders in their place.
struct WindowServices {
    std::string appFolder;
    std::string contact; // shown in the message of an unexpected failure
    std::function<void(HWND owner, const std::string& text)> showMessage;
    // nullopt when the user cancels; a failure raises a run-time error.
    std::function<std::optional<OpenFileResult>(HWND owner, const OpenFileRequest&)> openFile;
    std::function<std::int32_t(const std::string& path)> measureFile;
    std::function<bool(const std::string& path)> fileExists;
    // Starts the recalculator and waits for it; nothing when the application is quitting.
    std::function<std::optional<RecalculatorExit>(const RecalcLaunch&)> runProgram;
    std::function<void()> beep;

    static WindowServices Real();
};

// The real ones, usable on their own.
void ShowMessage(HWND owner, const std::string& text);
std::optional<OpenFileResult> ShowOpenFileDialog(HWND owner, const OpenFileRequest& request);

// The first of the files dropped on a window (several may be), and the drop released.
std::optional<std::string> TakeDroppedFile(HDROP drop);

// The length of a file in bytes, measured without creating or writing anything. Raises
// the system's error when it cannot be opened, and the overflow error from 2 GiB on.
std::int32_t MeasureFileLength(const std::string& path);

// "a|b|c|d" as the double-NUL-terminated list the dialog takes.
std::wstring DialogFilter(const std::string& filter);
