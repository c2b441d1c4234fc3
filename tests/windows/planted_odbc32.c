/* A stand-in for a DLL that someone placed beside the wizard under the name odbc32.dll. Loading
 * it leaves a record: the file "<this DLL's path>.loaded". */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 8];
        const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
        if (n > 0 && n < MAX_PATH) {
            lstrcatW(path, L".loaded");
            HANDLE record =
                CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
            if (record != INVALID_HANDLE_VALUE) CloseHandle(record);
        }
    }
    return TRUE;
}

/* One ODBC name, so that a loader that did take this file would find something to call. */
__declspec(dllexport) short SQLAllocHandle(short type, void* input, void** output) {
    (void)type;
    (void)input;
    if (output) *output = NULL;
    return -1;
}
