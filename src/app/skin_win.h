// The optional window skin: SkinH_EL.dll and Rimu.she beside the executable.
#pragma once

#include <string>

namespace velvane {

// The skin library and the skin file, by their names beside the executable.
inline constexpr wchar_t kSkinLibraryName[] = L"SkinH_EL.dll";
inline constexpr wchar_t kSkinFileName[] = L"Rimu.she";

// Calls SkinH_Attach_Ex(skin file, null) once when the library and the skin
// file are both there; without either the program runs unskinned, says
// nothing, and does not load the library.
void attach_skin(const std::wstring& program_directory);

}  // namespace velvane
