# Fails configuration when a target (or anything it links, library by library) pulls in wx's GUI
# or GTK.
function(talvero_check_no_gui target)
    set(seen "")
    set(todo ${target})
    while(todo)
        list(POP_FRONT todo current)
        if(current IN_LIST seen OR NOT TARGET ${current})
            continue()
        endif()
        list(APPEND seen ${current})
        get_target_property(libs ${current} LINK_LIBRARIES)
        get_target_property(ilibs ${current} INTERFACE_LINK_LIBRARIES)
        foreach(lib IN LISTS libs ilibs)
            if(lib MATCHES "talvero_wx|_gui$|talvero_ui|_x11$|wx_gtk|wx_.*core|GTK3|gtk-3|PkgConfig::X11")
                message(FATAL_ERROR "${target} must not link GUI libraries, but ${current} links ${lib}")
            endif()
            if(lib MATCHES "^talvero_")
                list(APPEND todo ${lib})
            endif()
        endforeach()
    endwhile()
endfunction()

# Post-link check on an executable: fails the build if the linked binary depends on wx's GUI.
function(talvero_assert_headless exe)
    add_custom_command(TARGET ${exe} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DBIN=$<TARGET_FILE:${exe}> -P ${CMAKE_SOURCE_DIR}/cmake/AssertHeadless.cmake
        VERBATIM)
endfunction()
