# Korvalen as a macOS application: Korvalen.app, an accessory (menu bar) application with its
# resource bundle in Contents/Resources, signed ad hoc after every build with the entitlement to
# send Apple events. Included where the program is made (src/app), since only that directory may
# add build steps to it.
set(macos_packaging ${CMAKE_CURRENT_LIST_DIR})
set_target_properties(korvalen PROPERTIES
    MACOSX_BUNDLE ON
    OUTPUT_NAME Korvalen
    MACOSX_BUNDLE_INFO_PLIST ${macos_packaging}/Info.plist.in
    MACOSX_BUNDLE_GUI_IDENTIFIER ${KORVALEN_BUNDLE_IDENTIFIER}
    MACOSX_BUNDLE_BUNDLE_NAME Korvalen
    MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION}
    MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION})

# The resource bundle, file by file, each into its folder below Contents/Resources.
set(resource_bundle ${CMAKE_CURRENT_SOURCE_DIR}/resources/${bundle_name})
file(GLOB_RECURSE resource_files CONFIGURE_DEPENDS ${resource_bundle}/*)
foreach(resource_file IN LISTS resource_files)
    file(RELATIVE_PATH relative_path ${resource_bundle} ${resource_file})
    get_filename_component(relative_folder ${relative_path} DIRECTORY)
    set_source_files_properties(${resource_file} PROPERTIES
        MACOSX_PACKAGE_LOCATION Resources/${bundle_name}/${relative_folder})
endforeach()
target_sources(korvalen PRIVATE ${resource_files})

# The signature seals the resources as well: a changed resource links the program again, so
# that the signing step after the link runs again too.
set(entitlements ${macos_packaging}/Korvalen.entitlements)
set_property(TARGET korvalen APPEND PROPERTY LINK_DEPENDS ${resource_files} ${entitlements})
add_custom_command(TARGET korvalen POST_BUILD
    COMMAND codesign --force --sign - --entitlements ${entitlements} $<TARGET_BUNDLE_DIR:korvalen>
    COMMENT "Signing Korvalen.app ad hoc"
    VERBATIM)

install(TARGETS korvalen BUNDLE DESTINATION .)
