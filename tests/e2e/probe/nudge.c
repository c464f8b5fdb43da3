/* Nudge: does to a running program what the desktop around it does, for the
 * end-to-end tests (Wine's own SystemParametersInfo broadcasts nothing, and
 * there is no Task Manager or restart manager to ask).
 *
 *   nudge.exe close <exe>                 posts WM_CLOSE to the exe's top-level windows
 *   nudge.exe settingchange <exe> [wParam] sends WM_SETTINGCHANGE (wParam default 0x57,
 *                                         SPI_SETCURSORS), as the system does after a
 *                                         pointer scheme change
 *   nudge.exe endsession <exe> <lParam> <0|1>
 *                                         sends WM_QUERYENDSESSION(0, lParam) and, when it
 *                                         was answered TRUE, WM_ENDSESSION(<0|1>, lParam)
 *   nudge.exe processes                   prints "pid ppid exe" for every process
 *   nudge.exe names <exe>                 asks, as a screen reader does, each child window
 *                                         of the exe's top-level windows for its
 *                                         accessible object, and prints one line each:
 *                                         "name class=<name> role=<n> name=<text> value=<text>"
 *   nudge.exe highcontrast <exe> <0|1>    turns a high-contrast theme off or on as
 *                                         far as Wine can: writes the Flags value
 *                                         Windows keeps, loads shim.dll
 *                                         (beside nudge.exe) into every process of
 *                                         <exe>, which reads them back, then sends
 *                                         WM_SETTINGCHANGE with
 *                                         SPI_SETHIGHCONTRAST; "shim pid=<n> ok|failed"
 *                                         for each process
 *   nudge.exe shim <exe>                  only loads shim.dll, which also writes
 *                                         the pointers <exe> installs to a file
 *
 * <exe> is a file name such as Tarnwick.exe, matched without regard to case.
 * Each message is sent to every visible or hidden top-level window of every
 * process of that name (as the restart manager does), or, with a last
 * argument class=<name>, only to those of that window class (as a close of
 * the main window does); one line per window is printed:
 *   "<message> hwnd=<hex> class=<name> result=<hex>"
 * Exit code: 0 when at least one window was reached, 2 when none was, 1 for
 * bad arguments.
 */
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#define COBJMACROS
#include <windows.h>
#include <oleacc.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#define MAX_PIDS 64

static DWORD pids[MAX_PIDS];
static int npids;
static const wchar_t *only_class; /* NULL: every window */

/* The processes of exe into pids; with exe NULL, "pid ppid exe" printed for
 * every process instead. */
static int find_processes(const wchar_t *exe)
{
    PROCESSENTRY32W entry;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    npids = 0;
    if (snap == INVALID_HANDLE_VALUE)
        return 2;
    entry.dwSize = sizeof entry;
    if (Process32FirstW(snap, &entry)) {
        do {
            if (!exe)
                wprintf(L"%lu %lu %ls\n", (unsigned long)entry.th32ProcessID,
                        (unsigned long)entry.th32ParentProcessID, entry.szExeFile);
            else if (_wcsicmp(entry.szExeFile, exe) == 0 && npids < MAX_PIDS)
                pids[npids++] = entry.th32ProcessID;
        } while (Process32NextW(snap, &entry));
    }
    CloseHandle(snap);
    fflush(stdout);
    return 0;
}

/* liboleacc.a exports IID_IAccessible as a code thunk, whose bytes are no GUID. */
static const GUID iid_accessible = {0x618736e0, 0x3c3d, 0x11cf,
                                    {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

static BOOL CALLBACK name_child(HWND hwnd, LPARAM unused)
{
    IAccessible *acc = NULL;
    wchar_t cls[128] = L"";
    VARIANT self, role;
    BSTR name = NULL, value = NULL;
    HRESULT hr;
    (void)unused;
    GetClassNameW(hwnd, cls, 128);
    hr = AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, &iid_accessible, (void **)&acc);
    if (FAILED(hr) || !acc) {
        wprintf(L"name class=%ls none=%08lx\n", cls, (unsigned long)hr);
        return TRUE;
    }
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VariantInit(&role);
    IAccessible_get_accName(acc, self, &name);
    IAccessible_get_accRole(acc, self, &role);
    IAccessible_get_accValue(acc, self, &value);
    wprintf(L"name class=%ls role=%ld name=%ls value=%ls\n", cls,
            role.vt == VT_I4 ? role.lVal : -1L, name ? name : L"", value ? value : L"");
    SysFreeString(name);
    SysFreeString(value);
    IAccessible_Release(acc);
    return TRUE;
}

/* LoadLibraryW(dll) run in process pid; true when it loaded (the thread's exit
 * code is the low half of the module's address: 0 when it did not load, and for
 * no DLL placed here). */
static int load_into(DWORD pid, const wchar_t *dll)
{
    SIZE_T size = (wcslen(dll) + 1) * sizeof(wchar_t);
    DWORD loaded = 0;
    HANDLE thread, process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    void *remote = process ? VirtualAllocEx(process, NULL, size, MEM_COMMIT, PAGE_READWRITE) : NULL;
    if (remote && WriteProcessMemory(process, remote, dll, size, NULL)) {
        thread = CreateRemoteThread(process, NULL, 0,
            (LPTHREAD_START_ROUTINE)(void *)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW"),
            remote, 0, NULL);
        if (thread) {
            WaitForSingleObject(thread, 10000);
            GetExitCodeThread(thread, &loaded);
            CloseHandle(thread);
        }
    }
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (process)
        CloseHandle(process);
    return loaded != 0;
}

/* shim.dll into every process of exe, the high-contrast Flags written first
 * unless they are NULL. */
static int load_shim(const wchar_t *exe, const wchar_t *flags)
{
    wchar_t dll[MAX_PATH];
    wchar_t *slash;
    int i, failed = 0;
    HKEY key;
    if (flags && RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Accessibility\\HighContrast", 0, NULL, 0,
                        KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
        return 1;
    if (flags) {
        RegSetValueExW(key, L"Flags", 0, REG_SZ, (const BYTE *)flags, (DWORD)((wcslen(flags) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    GetModuleFileNameW(NULL, dll, MAX_PATH);
    slash = wcsrchr(dll, L'\\');
    wcscpy(slash ? slash + 1 : dll, L"shim.dll");
    find_processes(exe);
    for (i = 0; i < npids; i++) {
        int ok = load_into(pids[i], dll);
        failed |= !ok;
        printf("shim pid=%lu %s\n", (unsigned long)pids[i], ok ? "ok" : "failed");
    }
    fflush(stdout);
    return failed || npids == 0 ? 2 : 0;
}

struct job {
    const char *what;
    int names;
    UINT message;
    WPARAM wp;
    LPARAM lp;
    int post;
    int reached;
    int any_true; /* some window answered TRUE (for WM_QUERYENDSESSION) */
};

static BOOL CALLBACK each_window(HWND hwnd, LPARAM param)
{
    struct job *job = (struct job *)param;
    DWORD pid = 0;
    wchar_t cls[128] = L"";
    DWORD_PTR result = 0;
    int i, ours = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    for (i = 0; i < npids; i++)
        if (pids[i] == pid)
            ours = 1;
    if (!ours)
        return TRUE;
    GetClassNameW(hwnd, cls, 128);
    if (only_class && wcscmp(cls, only_class) != 0)
        return TRUE;
    if (job->names) {
        job->reached++;
        EnumChildWindows(hwnd, name_child, 0);
        fflush(stdout);
        return TRUE;
    }
    if (job->post) {
        result = PostMessageW(hwnd, job->message, job->wp, job->lp);
    } else if (!SendMessageTimeoutW(hwnd, job->message, job->wp, job->lp,
                                    SMTO_NORMAL, 10000, &result)) {
        printf("%s hwnd=%p class=%ls timeout\n", job->what, (void *)hwnd, cls);
        fflush(stdout);
        return TRUE;
    }
    job->reached++;
    if (result)
        job->any_true = 1;
    printf("%s hwnd=%p class=%ls result=%llx\n", job->what, (void *)hwnd, cls,
           (unsigned long long)result);
    fflush(stdout);
    return TRUE;
}

static int send_to(const wchar_t *exe, struct job *job)
{
    find_processes(exe);
    job->reached = 0;
    job->any_true = 0;
    EnumWindows(each_window, (LPARAM)job);
    return job->reached > 0 ? 0 : 2;
}

int wmain(int argc, wchar_t **argv)
{
    struct job job = {0};
    if (argc >= 2 && wcscmp(argv[1], L"processes") == 0)
        return find_processes(NULL);
    if (argc < 3)
        return 1;
    if (wcsncmp(argv[argc - 1], L"class=", 6) == 0) {
        only_class = argv[argc - 1] + 6;
        argc--;
    }
    if (wcscmp(argv[1], L"close") == 0) {
        job.what = "WM_CLOSE";
        job.message = WM_CLOSE;
        job.post = 1;
        return send_to(argv[2], &job);
    }
    if (wcscmp(argv[1], L"names") == 0) {
        int code;
        CoInitialize(NULL);
        job.names = 1;
        code = send_to(argv[2], &job);
        CoUninitialize();
        return code;
    }
    if (wcscmp(argv[1], L"settingchange") == 0) {
        job.what = "WM_SETTINGCHANGE";
        job.message = WM_SETTINGCHANGE;
        job.wp = argc >= 4 ? (WPARAM)wcstoul(argv[3], NULL, 0) : 0x57;
        return send_to(argv[2], &job);
    }
    if (wcscmp(argv[1], L"highcontrast") == 0 && argc >= 4) {
        int code = load_shim(argv[2], wcstoul(argv[3], NULL, 0) != 0 ? L"127" : L"126");
        if (code != 0)
            return code;
        job.what = "WM_SETTINGCHANGE";
        job.message = WM_SETTINGCHANGE;
        job.wp = SPI_SETHIGHCONTRAST;
        return send_to(argv[2], &job);
    }
    if (wcscmp(argv[1], L"shim") == 0)
        return load_shim(argv[2], NULL);
    if (wcscmp(argv[1], L"endsession") == 0 && argc >= 5) {
        LPARAM lp = (LPARAM)wcstoul(argv[3], NULL, 0);
        WPARAM ending = (WPARAM)wcstoul(argv[4], NULL, 0);
        int code;
        job.what = "WM_QUERYENDSESSION";
        job.message = WM_QUERYENDSESSION;
        job.lp = lp;
        code = send_to(argv[2], &job);
        if (code != 0)
            return code;
        if (!job.any_true)
            ending = 0; /* a window said no: the session does not end */
        job.what = "WM_ENDSESSION";
        job.message = WM_ENDSESSION;
        job.wp = ending;
        job.lp = lp;
        return send_to(argv[2], &job);
    }
    return 1;
}
