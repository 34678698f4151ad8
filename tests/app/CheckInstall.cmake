# cmake -DBUILD=dir -DPREFIX=dir -P CheckInstall.cmake: installs into PREFIX and checks that the
# program lands where a desktop looks for it.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/talvero bin/talvero-cli lib/talvero/talvero lib/talvero/talvero-cli-full lib/talvero/talvero-cli-voice
          lib/talvero/talvero-prepare
          share/applications/talvero.desktop share/metainfo/io.github.talvero.Talvero.metainfo.xml
          share/icons/hicolor/16x16/apps/talvero.png share/icons/hicolor/48x48/apps/talvero.png
          share/icons/hicolor/256x256/apps/talvero.png
          share/locale/de/LC_MESSAGES/talvero.mo share/locale/es/LC_MESSAGES/talvero.mo
          share/locale/fr/LC_MESSAGES/talvero.mo)
    if(NOT EXISTS ${PREFIX}/${f})
        message(FATAL_ERROR "not installed: ${f}")
    endif()
endforeach()
file(READ ${PREFIX}/share/applications/talvero.desktop entry)
foreach(line "Type=Application" "Name=Talvero" "Exec=talvero" "Icon=talvero")
    string(FIND "${entry}" "${line}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "desktop entry lacks ${line}")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
