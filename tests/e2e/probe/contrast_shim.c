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

#include "import_slot.h"

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

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)self;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    real_spi = (spi_fn)redirect_import("SystemParametersInfoW", (void *)stand_in);
    return real_spi != NULL;
}
