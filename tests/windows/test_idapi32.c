/* A stand-in for the suite's database engine: IDAPI32.DLL with the three functions the engine
 * check calls, as the engine exports them (stdcall, undecorated names, a 16-bit result, 0 for
 * success). Built twice: as a working engine of version KURDB_TEST_BDE_VERSION, and with
 * KURDB_TEST_BDE_INIT_FAILS as an engine whose DbiInit fails. DbiExit leaves a record beside the
 * DLL ("<path>.exited"), so a test can tell that the engine was closed again. */
#include <windows.h>

static HINSTANCE self_module;
static int initialised;

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) self_module = self;
    return TRUE;
}

__declspec(dllexport) unsigned short WINAPI DbiInit(void* environment) {
    (void)environment;
#ifdef KURDB_TEST_BDE_INIT_FAILS
    return 0x2109; /* the engine's "cannot load an IDAPI service library" */
#else
    initialised = 1;
    return 0;
#endif
}

__declspec(dllexport) unsigned short WINAPI DbiGetSysVersion(void* record) {
    if (!initialised) return 0x2501; /* not initialised */
    unsigned short* version = (unsigned short*)record;
    version[0] = KURDB_TEST_BDE_VERSION;
    version[1] = 0x0500; /* the interface level that follows it in the record */
    return 0;
}

__declspec(dllexport) unsigned short WINAPI DbiExit(void) {
    wchar_t path[MAX_PATH + 8];
    const DWORD n = GetModuleFileNameW(self_module, path, MAX_PATH);
    initialised = 0;
    if (n > 0 && n < MAX_PATH) {
        lstrcatW(path, L".exited");
        HANDLE record = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (record != INVALID_HANDLE_VALUE) CloseHandle(record);
    }
    return 0;
}
