# Installs the build into a fresh prefix and checks what a desktop needs: the program (which runs
# from there), its desktop entry and its icon. Run as `cmake -DBUILD=<build dir> -DPREFIX=<dir>
# -P InstallTree.cmake`.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file bin/velmora share/applications/com.local.Ombrel.desktop
        share/icons/hicolor/scalable/apps/com.local.Ombrel.svg)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "${file} was not installed")
  endif()
endforeach()
execute_process(COMMAND "${PREFIX}/bin/velmora" --diagnose RESULT_VARIABLE ran
                OUTPUT_VARIABLE report ERROR_QUIET)
if(NOT ran EQUAL 0 OR NOT report MATCHES "^Velmora diagnostics")
  message(FATAL_ERROR "the installed program does not run: ${ran}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
