// The optional window skin: SkinH_EL.dll and Rimu.she beside the executable.
#pragma once

#include <string>

namespace velvane {

// Calls SkinH_Attach_Ex(skin file, null) once when the library is there;
// without it the program runs unskinned and says nothing.
void attach_skin(const std::wstring& program_directory);

}  // namespace velvane
