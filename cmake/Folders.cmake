# One static library per folder (and one more for a folder's gui/ part). A library links exactly
# the folders it may use, so a call into a folder it does not list is an undefined reference: the
# link check below, a program that takes every object of the library, fails the build then. The
# include check (scripts/check-includes.py) is the backstop for headers that are only included.
#
#   talvero_folder(NAME [GUI] SOURCES ... USES ...)
# GUI libraries see wx and GTK; every other one is checked to link no GUI library at all.
option(TALVERO_LINK_CHECKS "Link every folder library on its own, to catch calls across the order"
       ON)

# The link checks of the core libraries, for builds of the core alone (scripts/check-clang.sh).
add_custom_target(core_link_checks)

function(talvero_folder name)
    cmake_parse_arguments(arg "GUI" "" "SOURCES;USES" ${ARGN})
    add_library(${name} STATIC ${arg_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${arg_USES})
    if(arg_GUI)
        target_link_libraries(${name} PUBLIC talvero_wx)
    endif()
    if(TALVERO_LINK_CHECKS AND NOT TALVERO_FUZZ)
        add_executable(${name}_link_check ${CMAKE_SOURCE_DIR}/cmake/LinkCheck.cpp)
        target_link_libraries(${name}_link_check PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}>")
        if(NOT arg_GUI)
            add_dependencies(core_link_checks ${name}_link_check)
        endif()
    endif()
endfunction()
