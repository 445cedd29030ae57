# velvane_manifest(OUTPUT): writes the application manifest for the
# architecture being built (src/resources/velvane.manifest.in) to OUTPUT.
# Windows' side-by-side loader refuses to start a program whose manifest names
# another processor architecture than its PE header ("the application has
# failed to start because its side-by-side configuration is incorrect"); Wine
# does not check, scripts/check-exe.py does.
function(velvane_manifest output)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$")
    set(VELVANE_MANIFEST_ARCH x86)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(VELVANE_MANIFEST_ARCH amd64)
  else()
    message(FATAL_ERROR "no manifest architecture for the processor '${CMAKE_SYSTEM_PROCESSOR}'")
  endif()
  # An assembly version has four parts (0.0.0.0 in a project without one).
  set(VELVANE_MANIFEST_VERSION "")
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(number "${PROJECT_VERSION_${part}}")
    if(number STREQUAL "")
      set(number 0)
    endif()
    list(APPEND VELVANE_MANIFEST_VERSION ${number})
  endforeach()
  list(JOIN VELVANE_MANIFEST_VERSION "." VELVANE_MANIFEST_VERSION)
  # The exe carries the manifest without the template's comments and
  # indentation, which no reader of it needs.
  file(READ "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../src/resources/velvane.manifest.in" manifest)
  string(REGEX REPLACE "<!--[^>]*-->" "" manifest "${manifest}")
  string(REGEX REPLACE "\n[ \n]*" "\n" manifest "${manifest}")
  string(REGEX REPLACE "[ \n]+/>" "/>" manifest "${manifest}")
  file(CONFIGURE OUTPUT "${output}" CONTENT "${manifest}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../src/resources/velvane.manifest.in")
endfunction()
