# Client code for Wayland protocols, generated with wayland-scanner (libwayland-bin) and linked
# with libwayland-client (libwayland-dev).
# Included by each folder that generates a protocol: C is enabled per folder.
enable_language(C)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
if(NOT TARGET PkgConfig::WAYLAND_CLIENT)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET GLOBAL wayland-client)
endif()

# korvalen_wayland_protocol(<target> <protocol.xml>): a static library of the protocol's client
# code; <name>-client-protocol.h is on the include path of whatever links it.
function(korvalen_wayland_protocol target protocol)
    get_filename_component(name ${protocol} NAME_WE)
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target})
    set(header ${folder}/${name}-client-protocol.h)
    set(code ${folder}/${name}-protocol.c)
    add_custom_command(OUTPUT ${header} ${code}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${WAYLAND_SCANNER} client-header ${protocol} ${header}
        COMMAND ${WAYLAND_SCANNER} private-code ${protocol} ${code}
        DEPENDS ${protocol} VERBATIM)
    add_library(${target} STATIC ${header} ${code})
    target_include_directories(${target} PUBLIC ${folder})
    target_link_libraries(${target} PUBLIC PkgConfig::WAYLAND_CLIENT)
endfunction()
