# Windows writes a version as four numbers: the project's three and a 0.
set(SMS_VERSION_QUAD ${PROJECT_VERSION}.0)
string(REPLACE "." "," SMS_VERSION_COMMAS ${SMS_VERSION_QUAD})

# Gives a Windows program a VERSIONINFO resource, what Explorer shows under
# Properties > Details. Does nothing in the native build.
function(sms_add_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  set(SMS_FILE_DESCRIPTION "${description}")
  set(SMS_ORIGINAL_FILENAME "${target}${CMAKE_EXECUTABLE_SUFFIX}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
