/* What creating one message file costs a Windows program under Wine, one
 * call at a time, so that parcelo.exe's per-message cost can be split up.
 *
 *     wine_create.exe DIR COUNT MODE...
 *
 * Creates DIR\00000001.eml ... with 3 KiB each. MODE words, combined:
 *   posix    CreateFileA with FILE_FLAG_POSIX_SEMANTICS (an exact-case
 *            lookup, no case-insensitive directory scan under Wine)
 *   stdio    fopen/fwrite/fclose instead of CreateFileA/WriteFile
 *   handle   SetFileTime on the open handle before closing
 *   path     SetFileTime through a second CreateFileA by path after closing
 *   probe    GetFileAttributesA of the new path before creating it
 *   nt       NtCreateFile without OBJ_CASE_INSENSITIVE (an exact-case
 *            lookup; Windows itself stays case-insensitive by default)
 *   peek     PeekMessageA once per 70 bytes written (a line), no window
 * Prints the microseconds per file, and per PeekMessageA call with peek.
 * Build: x86_64-w64-mingw32-gcc -O2 -o wine_create.exe wine_create.c -lntdll
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winternl.h>

/* CREATE_ALWAYS through the native call, with or without case folding. */
static HANDLE nt_create(const char *path, int fold_case)
{
    WCHAR wide[MAX_PATH + 8] = L"\\??\\";
    int n = MultiByteToWideChar(CP_ACP, 0, path, -1, wide + 4, MAX_PATH);
    if (n <= 0)
        return INVALID_HANDLE_VALUE;
    UNICODE_STRING name = {(USHORT)((n + 3) * sizeof(WCHAR)), (USHORT)sizeof wide, wide};
    OBJECT_ATTRIBUTES attr;
    InitializeObjectAttributes(&attr, &name, fold_case ? OBJ_CASE_INSENSITIVE : 0, NULL, NULL);
    IO_STATUS_BLOCK io;
    HANDLE h;
    NTSTATUS st = NtCreateFile(&h, GENERIC_WRITE | SYNCHRONIZE, &attr, &io, NULL, FILE_ATTRIBUTE_NORMAL,
                               FILE_SHARE_READ, FILE_OVERWRITE_IF,
                               FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, NULL, 0);
    return st < 0 ? INVALID_HANDLE_VALUE : h;
}

static int has(int argc, char **argv, const char *word)
{
    for (int i = 3; i < argc; i++)
        if (strcmp(argv[i], word) == 0)
            return 1;
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: wine_create DIR COUNT [posix|stdio|handle|path|probe|nt|peek]...\n");
        return 2;
    }
    int count = atoi(argv[2]);
    int posix = has(argc, argv, "posix"), use_stdio = has(argc, argv, "stdio");
    int by_handle = has(argc, argv, "handle"), by_path = has(argc, argv, "path");
    int probe = has(argc, argv, "probe"), peek = has(argc, argv, "peek");
    int nt = has(argc, argv, "nt");
    CreateDirectoryA(argv[1], NULL);
    static char data[3072];
    memset(data, 'x', sizeof data);
    FILETIME when = {0x2AC18000, 0x01C1D1A5};
    LARGE_INTEGER freq, t0, t1, p0, p1;
    LONGLONG peek_ticks = 0, peeks = 0;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    for (int i = 1; i <= count; i++) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s\\%08d.eml", argv[1], i);
        if (probe)
            GetFileAttributesA(path);
        if (use_stdio) {
            FILE *f = fopen(path, "wb");
            if (!f)
                return 1;
            fwrite(data, 1, sizeof data, f);
            fclose(f);
        } else {
            DWORD flags = FILE_ATTRIBUTE_NORMAL | (posix ? FILE_FLAG_POSIX_SEMANTICS : 0);
            HANDLE h = nt ? nt_create(path, 0)
                          : CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, flags, NULL);
            if (h == INVALID_HANDLE_VALUE)
                return 1;
            DWORD done;
            WriteFile(h, data, sizeof data, &done, NULL);
            if (by_handle)
                SetFileTime(h, NULL, NULL, &when);
            CloseHandle(h);
        }
        if (by_path) {
            HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
            SetFileTime(h, NULL, NULL, &when);
            CloseHandle(h);
        }
        if (peek) {
            MSG msg;
            QueryPerformanceCounter(&p0);
            for (int k = 0; k < (int)sizeof data / 70; k++)
                PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
            QueryPerformanceCounter(&p1);
            peek_ticks += p1.QuadPart - p0.QuadPart;
            peeks += sizeof data / 70;
        }
    }
    QueryPerformanceCounter(&t1);
    double total_us = (double)(t1.QuadPart - t0.QuadPart) * 1e6 / (double)freq.QuadPart;
    double peek_us = (double)peek_ticks * 1e6 / (double)freq.QuadPart;
    printf("%.1f us per file", (total_us - peek_us) / count);
    if (peeks)
        printf(", %.2f us per PeekMessageA", peek_us / (double)peeks);
    printf("\n");
    return 0;
}
