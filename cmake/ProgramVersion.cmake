# The program's version in the forms its files show, all from project(... VERSION major.minor.build)
# in CMakeLists.txt, the one place where it is written. Included where a form is needed:
#   ZELCONV_VERSION_TEXT      "1.00.0037" for 1.0.37: the minor version with two digits and the
#                             build with four, as the program shows it (--version, version
#                             resources, manual pages)
#   ZELCONV_VERSION_WINDOWS   "1.0.0.37": the four numbers of a Windows file version
#   ZELCONV_GENERATED_DIR     the include root of the files made from templates (folder/file.h,
#                             as under src/)
set(ZELCONV_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)

# `number` written with at least `width` digits, zeros in front.
function(_zel_zero_padded out number width)
  string(LENGTH "${number}" length)
  if(length LESS width)
    math(EXPR missing "${width} - ${length}")
    string(REPEAT "0" ${missing} zeros)
    set(number "${zeros}${number}")
  endif()
  set(${out} "${number}" PARENT_SCOPE)
endfunction()

_zel_zero_padded(_zel_minor "${PROJECT_VERSION_MINOR}" 2)
_zel_zero_padded(_zel_build "${PROJECT_VERSION_PATCH}" 4)
set(ZELCONV_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${_zel_minor}.${_zel_build}")
set(ZELCONV_VERSION_WINDOWS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.${PROJECT_VERSION_PATCH}")
