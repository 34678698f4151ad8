# Fails configuration when a target (or anything it links) pulls in wx's GUI or GTK.
function(talvero_check_no_gui target)
    get_target_property(libs ${target} LINK_LIBRARIES)
    get_target_property(ilibs ${target} INTERFACE_LINK_LIBRARIES)
    foreach(lib IN LISTS libs ilibs)
        if(lib MATCHES "talvero_wx|talvero_gui|wx_gtk|wx_.*core|GTK3|gtk-3|PkgConfig::X11")
            message(FATAL_ERROR "${target} must not link GUI libraries, but links ${lib}")
        endif()
    endforeach()
endfunction()

# Post-link check on an executable: fails the build if the linked binary depends on wx's GUI.
function(talvero_assert_headless exe)
    add_custom_command(TARGET ${exe} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DBIN=$<TARGET_FILE:${exe}> -P ${CMAKE_SOURCE_DIR}/cmake/AssertHeadless.cmake
        VERBATIM)
endfunction()
