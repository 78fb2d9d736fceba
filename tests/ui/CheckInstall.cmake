# Installs the build into a fresh prefix and checks that Plinkora arrives as a desktop
# application: the program, its entry in the application list, its icon and its description.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(path
        bin/plinkora
        share/applications/org.plinkora.Plinkora.desktop
        share/icons/hicolor/scalable/apps/org.plinkora.Plinkora.svg
        share/metainfo/org.plinkora.Plinkora.metainfo.xml)
    if(NOT EXISTS "${PREFIX}/${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
execute_process(COMMAND "${PREFIX}/bin/plinkora" --version
    RESULT_VARIABLE status OUTPUT_VARIABLE version)
if(NOT status EQUAL 0 OR NOT version MATCHES "^Plinkora ")
    message(FATAL_ERROR "the installed program does not run: ${status} ${version}")
endif()
file(READ "${PREFIX}/share/applications/org.plinkora.Plinkora.desktop" entry)
foreach(line "Name=Plinkora" "Exec=plinkora" "Icon=org.plinkora.Plinkora"
        "Categories=AudioVideo;Audio;Music;" "GenericName[de]=Touchscreen-Instrument"
        "GenericName[fr]=Instrument pour écran tactile")
    string(FIND "${entry}" "\n${line}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the desktop entry lacks \"${line}\"")
    endif()
endforeach()
