# cmake -DBUILD_DIR=<build folder> -DPREFIX=<folder> -P InstallTree.cmake
# CTest runs tests, it does not build: the programs are brought up to date here, so that what is
# installed is never an older build. The folder starts empty, so that a file an earlier install
# left behind cannot stand in for one that is no longer installed.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target korvalen korvalen-browser-host
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                COMMAND_ERROR_IS_FATAL ANY)
