/* The running program's import address table entry for user32!<function>,
 * found by name, so relay thunks in the table do not matter; pointing it at a
 * stand-in makes every call the program itself makes go there.  Shared by the
 * shims nudge.exe loads into a program. */
#include <windows.h>
#include <string.h>

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

/* Points the program's import of user32!<function> at stand_in; the real
 * function, or NULL when the program does not import it. */
static void *redirect_import(const char *function, void *stand_in)
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
