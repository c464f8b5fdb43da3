/* contrast_shim.dll: what Wine 8 lacks for a high-contrast theme, for the
 * end-to-end tests.  Wine keeps the system colours of HKCU\Control Panel\Colors,
 * but its SystemParametersInfoW(SPI_GETHIGHCONTRAST) always answers "off" and
 * SPI_SETHIGHCONTRAST fails (ERROR_INVALID_SPI_VALUE).
 *
 * Loaded into a running program (nudge.exe highcontrast), it points the
 * program's own import of SystemParametersInfoW at a stand-in that answers
 * SPI_GETHIGHCONTRAST the way Windows does, from the value Flags under
 * HKCU\Control Panel\Accessibility\HighContrast (decimal text, bit 0
 * HCF_HIGHCONTRASTON), and passes every other call through unchanged.
 */
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <stdlib.h>
#include <string.h>

typedef BOOL(WINAPI *spi_fn)(UINT, UINT, PVOID, UINT);
static spi_fn real_spi;

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

/* The program's import address table entry for user32!SystemParametersInfoW,
 * found by name, so relay thunks in the table do not matter. */
static void **import_slot(HMODULE module)
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
            if (strcmp((char *)by_name->Name, "SystemParametersInfoW") == 0)
                return (void **)&slots->u1.Function;
        }
    }
    return NULL;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    void **slot;
    DWORD old;
    (void)self;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    slot = import_slot(GetModuleHandleW(NULL));
    if (!slot || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return FALSE;
    real_spi = (spi_fn)*slot;
    *slot = (void *)stand_in;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return TRUE;
}
