/* pointer_shim.dll: the witness of the pointers a program really installs,
 * for the end-to-end tests.  Wine's SetSystemCursor changes nothing on the
 * screen, and no other process can read a program's cursor handles, so the
 * pictures are read inside the program itself.
 *
 * Loaded into a running program (nudge.exe shim <exe> pointer_shim.dll), it
 * points the program's own import of SetSystemCursor at a stand-in that,
 * for the normal arrow (OCR_NORMAL), reads the handle it is given back with
 * GetIconInfo and GetDIBits and writes it to the file named by the
 * program's environment variable TARNWICK_POINTER_DUMP (replaced whole at
 * each call, so a reader never sees half a picture), then passes the call
 * on unchanged.  The file: "TWPD", then width, height, hot spot x and y as
 * little-endian 32-bit numbers, then width x height pixels of 8-bit blue,
 * green, red and alpha, top row first.
 */
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "import_slot.h"

typedef BOOL(WINAPI *set_fn)(HCURSOR, DWORD);
static set_fn real_set;

static void dump(HCURSOR cursor)
{
    wchar_t file[MAX_PATH], temporary[MAX_PATH + 4];
    ICONINFO info;
    BITMAP bitmap;
    BITMAPINFO format;
    DWORD header[5], written;
    BYTE *pixels;
    HDC screen;
    HANDLE out;
    int ok;
    if (!GetEnvironmentVariableW(L"TARNWICK_POINTER_DUMP", file, MAX_PATH) || !GetIconInfo(cursor, &info))
        return;
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
        memset(&format, 0, sizeof format);
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = bitmap.bmWidth;
        format.bmiHeader.biHeight = -bitmap.bmHeight; /* top row first */
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        pixels = malloc((size_t)bitmap.bmWidth * bitmap.bmHeight * 4);
        screen = GetDC(NULL);
        ok = pixels && GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, pixels, &format, DIB_RGB_COLORS) ==
                           bitmap.bmHeight;
        ReleaseDC(NULL, screen);
        header[0] = 0x44505754; /* "TWPD" */
        header[1] = bitmap.bmWidth;
        header[2] = bitmap.bmHeight;
        header[3] = info.xHotspot;
        header[4] = info.yHotspot;
        wcscpy(temporary, file);
        wcscat(temporary, L".new");
        out = ok ? CreateFileW(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL) : INVALID_HANDLE_VALUE;
        if (out != INVALID_HANDLE_VALUE) {
            ok = WriteFile(out, header, sizeof header, &written, NULL) &&
                 WriteFile(out, pixels, (DWORD)bitmap.bmWidth * bitmap.bmHeight * 4, &written, NULL);
            CloseHandle(out);
            if (ok)
                MoveFileExW(temporary, file, MOVEFILE_REPLACE_EXISTING);
        }
        free(pixels);
    }
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
}

static BOOL WINAPI stand_in(HCURSOR cursor, DWORD id)
{
    if (id == 32512) /* OCR_NORMAL */
        dump(cursor);
    return real_set(cursor, id);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)self;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    real_set = (set_fn)redirect_import("SetSystemCursor", (void *)stand_in);
    return real_set != NULL;
}
