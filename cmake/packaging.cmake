# Installing and packaging what a user runs, and nothing else (no tests,
# benchmarks or fuzzers): natively smspdu, its manual page, its bash
# completion and the README
# (a .deb); in a Windows build both programs beside the README, at the top
# of the folder (a .zip).
include(GNUInstallDirs)
if(WIN32)
  install(TARGETS sms-pdu smspdu RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
else()
  install(TARGETS smspdu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/cli/smspdu.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Where bash-completion looks for a command's completion, by its name.
  install(FILES cli/smspdu.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME smspdu)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(SMS_PACKAGE_MAINTAINER "SMS PDU converter maintainers <maintainers@users.noreply.c-seed-f5cfc3d0.example>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_PACKAGE_NAME smspdu)
set(CPACK_PACKAGE_VENDOR Korvanel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SMS PDU converter: text to GSM 7-bit PDU hex and back")
set(CPACK_PACKAGE_DESCRIPTION
"smspdu turns the text of a short message into the hexadecimal PDU form of
its user data (GSM 7-bit default alphabet, packed) and back. It also builds
whole SMS-SUBMIT PDUs for a GSM modem in PDU mode (7-bit with the extension
table, UCS-2, concatenated parts) and reads SMS-DELIVER, SMS-SUBMIT and
SMS-STATUS-REPORT PDUs, as text or JSON.")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # CPack names every MinGW build win32; the folder says which one it is.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SMS_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION comms)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
