/* Probe for the end-to-end harness: makes the same kinds of calls the real
 * program makes, so the harness can prove that Wine's relay log witnesses
 * them, that the tray icon can be found and clicked, and that a message box
 * can be dismissed.  Everything it learns from the window side (tray
 * callbacks) is printed to stdout, one line per event, flushed at once so a
 * test reading the file while the probe runs sees it.
 *
 * Usage: probe.exe [seconds-to-live] [cursor-file]
 */
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
#include <shellapi.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#define WM_TRAY 0x200 /* deliberately WM_MOUSEMOVE's value: what the real program uses */
#define TIMER_QUIT 1

static NOTIFYICONDATAW nid;

static void say(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vprintf(fmt, ap);
    va_end(ap);
    putchar('\n');
    fflush(stdout);
}

static LRESULT CALLBACK wndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_TRAY:
        /* Only the hidden window receives WM_TRAY, and it never gets real
         * mouse moves, so every one of these is a tray notification. */
        say("tray id=%u msg=0x%03x", (unsigned)wp, (unsigned)LOWORD(lp));
        if (LOWORD(lp) == WM_MBUTTONUP)
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_TIMER:
        if (wp == TIMER_QUIT) {
            say("timeout");
            DestroyWindow(hwnd);
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        Shell_NotifyIconW(NIM_DELETE, &nid);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

int wmain(int argc, wchar_t **argv)
{
    UINT live = argc > 1 ? (UINT)_wtoi(argv[1]) : 30;
    const wchar_t *curfile = argc > 2 ? argv[2] : L"C:\\windows\\missing.cur";
    HINSTANCE inst = GetModuleHandleW(NULL);
    WNDCLASSW wc = {0};
    HWND hwnd;
    HCURSOR cur, copy, loaded;
    POINT pt;
    BOOL ok;
    MSG m;
    int rc;

    say("start pid=%lu", GetCurrentProcessId());

    cur = GetCursor();
    copy = CopyIcon(cur ? cur : LoadCursorW(NULL, (LPCWSTR)IDC_ARROW));
    ok = SetSystemCursor(copy, 32512); /* OCR_NORMAL; takes ownership */
    say("SetSystemCursor=%d", ok);
    copy = CopyIcon(LoadCursorW(NULL, (LPCWSTR)IDC_ARROW));
    say("DestroyIcon=%d", DestroyIcon(copy));
    loaded = LoadCursorFromFileW(curfile);
    say("LoadCursorFromFileW=%p", (void *)loaded);
    if (loaded)
        DestroyIcon(loaded);
    GetCursorPos(&pt);
    SetCursorPos(pt.x + 1, pt.y);
    say("SPI_SETCURSORS=%d", SystemParametersInfoW(SPI_SETCURSORS, 0, NULL, 0));

    wc.lpfnWndProc = wndproc;
    wc.hInstance = inst;
    wc.lpszClassName = L"ProbeHidden";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"probe", 0, 0, 0, 0, 0,
                           NULL, NULL, inst, NULL);

    nid.cbSize = sizeof nid;
    nid.hWnd = hwnd;
    nid.uID = 1;
    nid.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    nid.uCallbackMessage = WM_TRAY;
    nid.hIcon = LoadIconW(NULL, (LPCWSTR)IDI_APPLICATION);
    lstrcpynW(nid.szTip, L"Probe\nsecond line", ARRAYSIZE(nid.szTip));
    say("NIM_ADD=%d", Shell_NotifyIconW(NIM_ADD, &nid));

    rc = MessageBoxW(NULL, L"Probe says hello.", L"Probe", MB_OK | MB_ICONINFORMATION);
    say("MessageBoxW=%d", rc);

    SetTimer(hwnd, TIMER_QUIT, live * 1000, NULL);
    while (GetMessageW(&m, NULL, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    say("exit");
    return 0;
}
