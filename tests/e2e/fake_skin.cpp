// A stand-in for the skin library SkinH_EL.dll, built for the tests only. Its
// one entry, SkinH_Attach_Ex, restyles nothing: it appends the skin path it
// was given, and a line break, to SkinH_EL.calls beside the DLL itself, so a
// test can see whether, how often and with what the program called it.
#include <windows.h>

namespace {

HMODULE this_module() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&this_module), &module);
    return module;
}

}  // namespace

extern "C" __declspec(dllexport) int WINAPI SkinH_Attach_Ex(const char* skin_file, const char* password) {
    (void)password;
    wchar_t path[MAX_PATH + 32] = {};
    const DWORD n = GetModuleFileNameW(this_module(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 0;
    wchar_t* slash = path + n;
    while (slash > path && slash[-1] != L'\\') --slash;
    lstrcpyW(slash, L"SkinH_EL.calls");

    const HANDLE marker =
        CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    if (skin_file) WriteFile(marker, skin_file, static_cast<DWORD>(lstrlenA(skin_file)), &written, nullptr);
    WriteFile(marker, "\n", 1, &written, nullptr);
    CloseHandle(marker);
    return 1;
}
