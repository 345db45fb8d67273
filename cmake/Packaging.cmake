# The Debian package: `cpack -G DEB` in a build folder makes
# glimmerftp_<version>_<arch>.deb from the install rules of src/app (both
# programs, the desktop entry, the icon, the manual page, the AppStream
# metainfo). The libraries the programs link are found by dpkg-shlibdeps;
# what they only load at run time is named below.

set(CPACK_PACKAGE_NAME glimmerftp)
set(CPACK_PACKAGE_VENDOR "Glimmer FTP")
set(CPACK_PACKAGE_CONTACT "Glimmer FTP developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop FTP client with a command-line companion")
set(CPACK_PACKAGE_DESCRIPTION
    "Glimmer FTP shows a local and a remote file pane side by side, a log of the
dialogue with the server and a transfer queue for single files and whole
folder trees, with a site manager whose passwords are kept in the desktop
keyring. It connects in active or passive mode, directly, through an FTP
proxy or through SOCKS 4, 4A and 5.
.
glimmerftp-cli runs single commands (ls, get, put, rm, mkdir, mv, chmod) on
the same session core for scripts and cron jobs.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# QtKeychain opens libsecret itself when it first talks to the Secret
# Service, so no linked library names it.
if(GLIMMER_HAVE_QTKEYCHAIN)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsecret-1-0")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-keyring | kwalletmanager")
endif()

include(CPack)
