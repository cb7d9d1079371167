# Checks the include lines of the core's folders: the core must never reach into a window toolkit,
# the GUI folders or the program. Run as a script:
#   cmake -DROOT=<source tree> [-DFOLDERS=a;b] -P cmake/CheckLayers.cmake
# It prints every offending line (file:line: text) and fails when there is one. The configure step
# runs the same check, so a tree that breaks the layers does not even configure.

set(VORLAND_CORE_FOLDERS framework/core batch zipcomp zipformat zipdir maskmatch)
# Window toolkit headers (Qt's are all named Q<Something> or <QtModule/...>), and the GUI and
# program folders.
set(VORLAND_FORBIDDEN_INCLUDE
    "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|Qt[A-Za-z]*/[^>\"]*|ui/[^>\"]*|app/[^>\"]*|controls/[^>\"]*|framework/[^c][^>\"]*|framework/c[^o][^>\"]*|jpeglib\\.h)[>\"]")

function(vorland_check_layers root folders out_violations)
    set(violations)
    foreach(folder IN LISTS folders)
        file(GLOB_RECURSE files "${root}/${folder}/*.h" "${root}/${folder}/*.hpp" "${root}/${folder}/*.cpp"
             "${root}/${folder}/*.c")
        foreach(file IN LISTS files)
            file(STRINGS "${file}" lines REGEX "#[ \t]*include")
            foreach(line IN LISTS lines)
                if(line MATCHES "${VORLAND_FORBIDDEN_INCLUDE}")
                    file(RELATIVE_PATH rel "${root}" "${file}")
                    list(APPEND violations "${rel}: ${line}")
                endif()
            endforeach()
        endforeach()
    endforeach()
    set(${out_violations} "${violations}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT ROOT)
        message(FATAL_ERROR "CheckLayers: give -DROOT=<source tree>")
    endif()
    if(NOT FOLDERS)
        set(FOLDERS ${VORLAND_CORE_FOLDERS})
    endif()
    get_filename_component(ROOT "${ROOT}" ABSOLUTE)
    vorland_check_layers("${ROOT}" "${FOLDERS}" violations)
    if(violations)
        list(JOIN violations "\n  " text)
        message(FATAL_ERROR "Core files include GUI or program headers:\n  ${text}")
    endif()
    message(STATUS "Layers: the core includes nothing of the GUI or the program")
endif()
