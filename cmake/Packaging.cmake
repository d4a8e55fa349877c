# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack --preset package` (as `make package` does) after
# building the package preset, which installs under /usr.

set(LEXIPOND_PACKAGE_MAINTAINER "Lexipond maintainers <maintainers@hollet.invalid>"
    CACHE STRING "Maintainer field of the Debian package: name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lexipond)
set(CPACK_PACKAGE_VENDOR Hollet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${LEXIPOND_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sight-word tutor for a young reader and an adult")
# The extended description: paragraphs apart by an empty line, as the control
# file wants them (CPack indents the lines and writes " ." for the empty one).
set(CPACK_PACKAGE_DESCRIPTION [[
Lexipond helps a young reader learn sight words, the words a reader should
know at a glance. An adult sits beside the learner; Lexipond shows one word
at a time in very large letters, and the adult clicks Correct, Incorrect or
Skip. Every answer is counted per word and per learner (five learners share
one word list), and the next word is chosen by a difficulty level from those
counts. Words can be edited, word lists imported, and a results report
follows the session.

The data lives in ~/.local/share/Hollet/Lexipond/ and is backed up at every
exit. The companion command lexipond-db lists, checks, sorts and fills a word
database from the command line.]])

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LEXIPOND_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; these are needed at run time without
# being linked: the fonts the labels are measured for, and xdg-open for the guide.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, xdg-utils")
# Offered first for the word when installed; the card works without them.
# Listening needs the speech model; without it Listen is disabled and says so.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-sil-andika, fonts-opendyslexic, qt6-translations-l10n, pocketsphinx-en-us")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Folders made by the install get 0755 whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Debian wants a copyright file and a changelog in the package's doc folder.
include(GNUInstallDirs)
set(LEXIPOND_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/lexipond)
execute_process(COMMAND date -u -R -d "${LEXIPOND_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE LEXIPOND_RELEASE_DATE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
               ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -9 -n -k -f changelog
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/packaging
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
              ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${LEXIPOND_PACKAGE_DOCDIR})

include(CPack)
