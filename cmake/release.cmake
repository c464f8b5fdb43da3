# The release archive, Tarnwick-<version>-win64.zip, made from the Windows build by
#
#   cmake --preset mingw && cmake --build --preset mingw --target package
#
# into build/mingw/release/, with Tarnwick-<version>-win64.zip.sha256 beside it. The archive
# has no folder of its own inside: its files are the program folder, unpacked into
# whichever folder the user (or a test) chooses.

# Texts a Windows user opens in Notepad: CR LF line ends, whatever the checkout has.
# With CONFIGURE, @PROJECT_VERSION@ and the like are filled in first.
function(tarn_windows_text source destination)
  cmake_parse_arguments(PARSE_ARGV 2 arg "CONFIGURE" "" "")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  if(arg_CONFIGURE)
    string(CONFIGURE "${text}" text @ONLY)
  endif()
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${destination} "${text}")
endfunction()

set(tarn_release_texts ${PROJECT_BINARY_DIR}/release-texts)
tarn_windows_text(${PROJECT_SOURCE_DIR}/res/README.txt ${tarn_release_texts}/README.txt CONFIGURE)
tarn_windows_text(${PROJECT_SOURCE_DIR}/res/LICENSE ${tarn_release_texts}/LICENSE)
# The licences of what the static build links in: the GCC runtime, mingw-w64 and
# winpthreads (every program) and stb (twcmake, and Tarnwick once it reads the sets'
# large pictures).
foreach(licence gcc-runtime.txt GPL-3.txt mingw-w64.txt stb.txt)
  tarn_windows_text(${PROJECT_SOURCE_DIR}/res/licenses/${licence} ${tarn_release_texts}/licenses/${licence})
endforeach()

install(TARGETS Tarnwick TarnwickWatch twcmake RUNTIME DESTINATION .)
install(FILES ${tarn_beside_the_program} ${tarn_release_texts}/README.txt ${tarn_release_texts}/LICENSE
  DESTINATION .)
install(DIRECTORY ${tarn_release_texts}/licenses DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Tarnwick)
set(CPACK_PACKAGE_VENDOR "the Tarnwick authors")
set(CPACK_PACKAGE_FILE_NAME Tarnwick-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/release)
set(CPACK_PACKAGE_CHECKSUM SHA256)
# The symbols only make the download larger; the code is the one the tests ran.
set(CPACK_STRIP_FILES ON)
include(CPack)
