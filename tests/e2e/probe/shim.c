/* shim.dll: what Wine 8 lacks, for the end-to-end tests.
 *
 * A high-contrast theme.  Wine keeps the system colours of HKCU\Control Panel\Colors,
 * but its SystemParametersInfoW(SPI_GETHIGHCONTRAST) always answers "off" and
 * SPI_SETHIGHCONTRAST fails (ERROR_INVALID_SPI_VALUE).
 *
 * Loaded into a running program (nudge.exe highcontrast), it points the
 * program's own import of SystemParametersInfoW at a stand-in that answers
 * SPI_GETHIGHCONTRAST the way Windows does, from the value Flags under
 * HKCU\Control Panel\Accessibility\HighContrast (decimal text, bit 0
 * HCF_HIGHCONTRASTON), and passes every other call through unchanged.
 *
 * A witness of the pointers a program installs: Wine's SetSystemCursor changes
 * nothing, and no other process can read the program's handles.  The stand-in
 * for the program's import of SetSystemCursor writes each normal arrow
 * (OCR_NORMAL) it is given, read back with GetIconInfo and GetDIBits, to the
 * file the program's environment names in TARNWICK_POINTER_DUMP (replaced
 * whole: a reader never sees half of one), then passes the call on.  The
 * file: width, height, hot spot x and y as little-endian 32-bit numbers, then
 * the 32-bit pixels (blue, green, red, alpha), top row first.
 */
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef BOOL(WINAPI *spi_fn)(UINT, UINT, PVOID, UINT);
static spi_fn real_spi;
typedef BOOL(WINAPI *set_fn)(HCURSOR, DWORD);
static set_fn real_set;

static DWORD stored_flags(void)
{
    wchar_t text[32] = L"";
    DWORD size = sizeof text - sizeof text[0];
    if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Accessibility\\HighContrast",
                     L"Flags", RRF_RT_REG_SZ, NULL, text, &size) != ERROR_SUCCESS)
        return 0;
    return (DWORD)wcstoul(text, NULL, 10);
}

static BOOL WINAPI stand_in(UINT action, UINT param, PVOID data, UINT flags)
{
    HIGHCONTRASTW *contrast = data;
    BOOL ok = real_spi(action, param, data, flags);
    if (ok && action == SPI_GETHIGHCONTRAST && contrast && contrast->cbSize == sizeof *contrast)
        contrast->dwFlags = stored_flags();
    return ok;
}

static BOOL WINAPI set_stand_in(HCURSOR cursor, DWORD id)
{
    wchar_t file[MAX_PATH], part[MAX_PATH + 4];
    ICONINFO info;
    BITMAP map;
    BITMAPINFO format = {{sizeof format.bmiHeader, 0, 0, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {{0, 0, 0, 0}}};
    DWORD head[4], done;
    HDC screen = GetDC(NULL);
    HANDLE out;
    if (id == 32512 && GetEnvironmentVariableW(L"TARNWICK_POINTER_DUMP", file, MAX_PATH) &&
        GetIconInfo(cursor, &info)) {
        if (info.hbmColor && GetObjectW(info.hbmColor, sizeof map, &map)) {
            DWORD *pixels = malloc((size_t)map.bmWidth * map.bmHeight * 4);
            format.bmiHeader.biWidth = head[0] = map.bmWidth;
            format.bmiHeader.biHeight = -(LONG)(head[1] = map.bmHeight); /* top row first */
            head[2] = info.xHotspot;
            head[3] = info.yHotspot;
            swprintf(part, MAX_PATH + 4, L"%ls.new", file);
            /* Not the C runtime's files: the tests read its opens from the relay log. */
            if (pixels && GetDIBits(screen, info.hbmColor, 0, map.bmHeight, pixels, &format, DIB_RGB_COLORS) &&
                (out = CreateFileW(part, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL)) != INVALID_HANDLE_VALUE) {
                WriteFile(out, head, sizeof head, &done, NULL);
                WriteFile(out, pixels, (DWORD)map.bmWidth * map.bmHeight * 4, &done, NULL);
                CloseHandle(out);
                MoveFileExW(part, file, MOVEFILE_REPLACE_EXISTING);
            }
            free(pixels);
            DeleteObject(info.hbmColor);
        }
        DeleteObject(info.hbmMask);
    }
    ReleaseDC(NULL, screen);
    return real_set(cursor, id);
}

/* The program's import address table entry for user32!<function>, found by
 * name, so relay thunks in the table do not matter. */
static void **import_slot(HMODULE module, const char *function)
{
    BYTE *base = (BYTE *)module;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    IMAGE_IMPORT_DESCRIPTOR *imp = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress);
    for (; dir.VirtualAddress && imp->Name; imp++) {
        IMAGE_THUNK_DATA *names, *slots;
        if (_stricmp((char *)(base + imp->Name), "user32.dll") != 0 || !imp->OriginalFirstThunk)
            continue;
        names = (IMAGE_THUNK_DATA *)(base + imp->OriginalFirstThunk);
        slots = (IMAGE_THUNK_DATA *)(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            IMAGE_IMPORT_BY_NAME *by_name;
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            by_name = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (strcmp((char *)by_name->Name, function) == 0)
                return (void **)&slots->u1.Function;
        }
    }
    return NULL;
}

/* Points the program's import of user32!<function> at stand_in; the real one. */
static void *redirect(const char *function, void *stand_in)
{
    void **slot = import_slot(GetModuleHandleW(NULL), function);
    void *real;
    DWORD old;
    if (!slot || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return NULL;
    real = *slot;
    *slot = stand_in;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return real;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)self;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    real_spi = (spi_fn)redirect("SystemParametersInfoW", (void *)stand_in);
    real_set = (set_fn)redirect("SetSystemCursor", (void *)set_stand_in);
    return real_spi && real_set;
}
