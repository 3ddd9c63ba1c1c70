# `make deb`: one Debian package, "quirebind", with both programs and everything they need.
# Its dependencies are read from the programs' shared libraries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quirebind)
set(CPACK_PACKAGE_VENDOR "Quirebind")
set(CPACK_PACKAGE_CONTACT "Quirebind developers <quirebind@quirebind.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn plain-text files into one EPUB e-book")
set(CPACK_PACKAGE_DESCRIPTION
    "Quirebind binds a set of plain-text files into one EPUB e-book: every text file becomes\n"
    "one chapter page, each line of text one paragraph, with a title, an author and an\n"
    "optional cover picture. Files in legacy charsets are recognised and read correctly.\n"
    "The package holds the window, quirebind, and the command-line converter, quirebind-cli.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME quirebind_${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debug information stays in the build tree; the package gets lean programs.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quirebind.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Drawn covers take their letters from these (Chinese, Japanese and Korean titles from Noto CJK,
# emoji from Noto Color Emoji), and the window draws its captions in Liberation; fontconfig
# finds them all.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-noto-cjk, fonts-noto-color-emoji")
if(QB_WITH_GUI)
  string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", fonts-liberation")
endif()
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# The core's library target is called "package", the name CMake gives its own packaging
# target whenever CPackConfig.cmake exists; under another name the two do not meet, and
# `make deb` names the file for cpack.
set(CPACK_OUTPUT_CONFIG_FILE ${CMAKE_BINARY_DIR}/QuirebindPackage.cmake)
set(CPACK_SOURCE_OUTPUT_CONFIG_FILE ${CMAKE_BINARY_DIR}/QuirebindSourcePackage.cmake)
include(CPack)
