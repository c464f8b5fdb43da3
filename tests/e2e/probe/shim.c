/* shim.dll: what Wine 8 lacks for a high-contrast theme, for the
 * end-to-end tests.  Wine keeps the system colours of HKCU\Control Panel\Colors,
 * but its SystemParametersInfoW(SPI_GETHIGHCONTRAST) always answers "off" and
 * SPI_SETHIGHCONTRAST fails (ERROR_INVALID_SPI_VALUE).
 *
 * Loaded into a running program (nudge.exe highcontrast), it points the
 * program's own import of SystemParametersInfoW at a stand-in that answers
 * SPI_GETHIGHCONTRAST the way Windows does, from the value Flags under
 * HKCU\Control Panel\Accessibility\HighContrast (decimal text, bit 0
 * HCF_HIGHCONTRASTON), and passes every other call through unchanged.
 * Also a witness of the pointers a program installs: its stand-in for
 * SetSystemCursor writes each normal arrow to the file TARNWICK_POINTER_DUMP
 * names (see ../README.md).
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
static BOOL(WINAPI *real_set)(HCURSOR, DWORD);

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
    DWORD head[4], done, *pixels = NULL;
    HDC screen = GetDC(NULL);
    HANDLE out = INVALID_HANDLE_VALUE;
    if (id == 32512 && GetEnvironmentVariableW(L"TARNWICK_POINTER_DUMP", file, MAX_PATH) &&
        GetIconInfo(cursor, &info)) {
        if (info.hbmColor && GetObjectW(info.hbmColor, sizeof map, &map)) {
            format.bmiHeader.biWidth = head[0] = map.bmWidth;
            format.bmiHeader.biHeight = -(LONG)(head[1] = map.bmHeight);
            head[2] = info.xHotspot;
            head[3] = info.yHotspot;
            pixels = malloc((size_t)map.bmWidth * map.bmHeight * 4);
            swprintf(part, MAX_PATH + 4, L"%ls.new", file);
            /* Not the C runtime's files: the tests read its opens from the relay log. */
            if (pixels && GetDIBits(screen, info.hbmColor, 0, map.bmHeight, pixels, &format, DIB_RGB_COLORS))
                out = CreateFileW(part, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (out != INVALID_HANDLE_VALUE) {
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

/* The program's import address table entry for user32!<function>,
 * found by name, so relay thunks in the table do not matter. */
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

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    const char *names[] = {"SystemParametersInfoW", "SetSystemCursor"};
    void *stand_ins[] = {(void *)stand_in, (void *)set_stand_in}, **reals[] = {(void **)&real_spi, (void **)&real_set};
    void **slot;
    DWORD old;
    int i;
    (void)self;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    for (i = 0; i < 2; i++) {
        slot = import_slot(GetModuleHandleW(NULL), names[i]);
        if (!slot || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
            return FALSE;
        *reals[i] = *slot;
        *slot = stand_ins[i];
        VirtualProtect(slot, sizeof *slot, old, &old);
    }
    return TRUE;
}
