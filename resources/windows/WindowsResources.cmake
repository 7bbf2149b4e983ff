# The Windows resources of a program of the build: the icon Explorer, the taskbar and the Start
# menu show (named IDI_ICON1, which Qt also gives its windows), a version resource (product,
# version, description, company, copyright) and a manifest (asInvoker, per-monitor DPI
# awareness as WindowScaling::prepareForDisplay sets it, Windows 7 to 11, Common Controls 6),
# all from the one version the build knows: the project's.
#   tallyport_windows_resources(TARGET ICON DESCRIPTION)
# ICON is a path, or the name of a drawing here (resources/windows/NAME.ico, made by
# make-icons.sh from src/NAME.svg). Nothing is done for other systems, so the call stands
# beside the target's definition; app/ includes this file before tools/ use it.
include_guard(GLOBAL)

function(tallyport_windows_resources target icon description)
    if(NOT WIN32)
        return()
    endif()
    set(here ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
    # As in packaging/copyright.
    set(TALLYPORT_RC_COMPANY "Tallyport maintainers")
    set(TALLYPORT_RC_COPYRIGHT "Copyright (C) 2026 Tallyport maintainers")
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    # Windows wants four numbers: 1.0 is 1.0.0.0.
    set(numbers "")
    foreach(part MAJOR MINOR PATCH TWEAK)
        if("${PROJECT_VERSION_${part}}" STREQUAL "")
            list(APPEND numbers 0)
        else()
            list(APPEND numbers ${PROJECT_VERSION_${part}})
        endif()
    endforeach()
    list(JOIN numbers "." TALLYPORT_RC_VERSION)
    list(JOIN numbers "," TALLYPORT_RC_VERSION_COMMAS)
    set(TALLYPORT_RC_NAME ${name})
    set(TALLYPORT_RC_FILE ${name}.exe)
    get_filename_component(TALLYPORT_RC_ICON ${icon} ABSOLUTE BASE_DIR
        ${here})
    set(TALLYPORT_RC_DESCRIPTION ${description})
    set(TALLYPORT_RC_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest)
    configure_file(${here}/program.manifest.in ${TALLYPORT_RC_MANIFEST}
        @ONLY)
    configure_file(${here}/program.rc.in
        ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
    # windres reads the icon and the manifest: a new drawing makes a new resource.
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${name}.rc PROPERTIES
        OBJECT_DEPENDS "${TALLYPORT_RC_ICON};${TALLYPORT_RC_MANIFEST}")
endfunction()
