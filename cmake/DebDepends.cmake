# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) once the package's files are staged: adds to the
# package's Depends what dpkg-shlibdeps finds for the client and the web module, with the
# overrides of packaging/shlibs.local. dpkg-shlibdeps wants a debian/control where it runs.
set(_dir "${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps")
file(MAKE_DIRECTORY "${_dir}/debian")
file(WRITE "${_dir}/debian/control" "")
set(_files "")
foreach(f IN LISTS CPACK_CLIENT_ELF_FILES)
  list(APPEND _files "${CPACK_TEMPORARY_DIRECTORY}/${f}")
endforeach()
execute_process(COMMAND dpkg-shlibdeps -O "-L${CPACK_CLIENT_SHLIBS_LOCAL}" ${_files}
                WORKING_DIRECTORY "${_dir}" OUTPUT_VARIABLE _out ERROR_VARIABLE _err RESULT_VARIABLE _rc
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT _rc EQUAL 0 OR NOT _out MATCHES "shlibs:Depends=([^\n]+)")
  message(FATAL_ERROR "dpkg-shlibdeps failed: ${_err}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}, ${CMAKE_MATCH_1}")
file(REMOVE_RECURSE "${_dir}")
