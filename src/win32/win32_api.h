// The system headers, included in one place. The A/W name macros that collide with the
// platform's operation names are removed, so every translation unit sees the same class
// Platform; the backend calls the wide functions by their full names.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <shellapi.h>
#include <objbase.h>
#include <shlobj.h>
#include <knownfolders.h>

#undef MessageBox
#undef ShellExecute
#undef LoadCursor
#undef LoadImage
#undef Shell_NotifyIcon
#undef CreateFile
#undef FindFirstFile
#undef GetFinalPathNameByHandle
