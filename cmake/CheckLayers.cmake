# Checks the include lines of the program's own sources against an allow-list: which project folders
# and outside libraries the files of each target may include. Run as a script:
#   cmake -DROOT=<source tree> [-DONLY=<file relative to ROOT>] -P cmake/CheckLayers.cmake
# It prints every offending line (file:line: text: the rule it breaks) and fails when there is one.
# The configure step runs the same check on the source tree, so a tree that breaks the layers does
# not even configure; it also checks that the table's files are the targets' real sources.
#
# The rules:
# - a file may include its own folder (a bare "name.h", or "folder/name.h" for its own folder);
# - "." or ".." never stands in a project include (quoted, or in angle brackets with a project folder);
# - a quoted include must name a project folder, and every project folder a file includes must be in
#   its layer's list below;
# - Qt's headers (<QWidget>, <QtCore/...>) and the outside libraries (<jpeglib.h>, the codecs) only
#   where the layer lists them;
# - every file under a folder the table names belongs to at least one layer.

cmake_policy(SET CMP0057 NEW) # if(... IN_LIST ...), also when run as a script

# The project folders an include can name, longest first so that "engine/src" wins over
# "engine". "zipengine" is the engine's public header folder (engine/include/zipengine).
set(VORLAND_PROJECT_FOLDERS
    core engine/include engine/src maskmatch pathrules zipformat zipdir zipcomp zipengine batch restore controls
    framework ui app tools engine tests fuzz bench)

# The core: plain C++ and POSIX, the windows may use all of it.
set(_core "maskmatch pathrules zipformat zipdir core zipcomp batch restore")
# One layer a line: its name (the target that builds it, ":part" where one target builds several
# layers), its files (folders, or files where one folder feeds two targets), and what its files may
# include. <qt>, <jpeg> and <codecs> stand for those outside libraries.
set(VORLAND_LAYERS
    "vorland_mask | maskmatch | "
    "vorland_pathrules | pathrules | "
    "vorland_zipformat | zipformat | "
    "vorland_zipdir | zipdir | zipformat"
    "vorland_core_base | core | maskmatch pathrules"
    "vorland_zipcomp | zipcomp | core maskmatch pathrules zipformat zipdir zipengine"
    "vorland_batch | batch | restore zipcomp core maskmatch pathrules zipformat zipdir zipengine"
    "vorland_restore | restore | zipcomp core maskmatch pathrules zipformat zipdir zipengine"
    "zipengine_core | engine/src engine/include | zipengine maskmatch pathrules zipformat zipdir <codecs>"
    "zipengine-driver | tools/ZipEngineDriver.cpp | zipengine zipcomp core zipformat zipdir"
    "vorland_gui:controls | controls | ${_core} <qt>"
    "vorland_gui:framework | framework | controls ${_core} <qt> <jpeg>"
    "vorland_gui:ui | ui | framework controls ${_core} <qt>"
    "vorland | app/Pellamar.cpp app/LongOptions.* app/RestoreCommand.* app/Console*.h app/Console*.cpp app/DisplayProbe.* app/ModuleLoading.* app/WindowsModule.* app/WindowsEntry.h | ${_core}"
    "vorland-windows | app/GuiStart.* app/DisplayLoss.* app/ConsoleEventPump.* app/WindowsEntry.h | ui framework controls ${_core} <qt>")
unset(_core)

# Splits layer number `index` of VORLAND_LAYERS into <prefix>_NAME, <prefix>_FILES and <prefix>_ALLOWED.
macro(_vorland_layer index prefix)
    list(GET VORLAND_LAYERS ${index} _line)
    string(REPLACE "|" ";" _parts "${_line}")
    list(GET _parts 0 ${prefix}_NAME)
    list(GET _parts 1 ${prefix}_FILES)
    list(GET _parts 2 ${prefix}_ALLOWED)
    string(STRIP "${${prefix}_NAME}" ${prefix}_NAME)
    separate_arguments(${prefix}_FILES UNIX_COMMAND "${${prefix}_FILES}")
    separate_arguments(${prefix}_ALLOWED UNIX_COMMAND "${${prefix}_ALLOWED}")
endmacro()

# True in `out` when `rel` (a file relative to the tree) is one of `patterns`: a folder holds the
# files below it that no longer folder of the table claims; a file pattern may hold a "*".
function(_vorland_in_layer rel patterns folders out)
    set(found FALSE)
    get_filename_component(dir "${rel}" DIRECTORY)
    foreach(pattern IN LISTS patterns)
        if(pattern MATCHES "[.*]")
            string(REPLACE "." "\\." regex "${pattern}")
            string(REPLACE "*" "[^/]*" regex "${regex}")
            if(rel MATCHES "^${regex}$")
                set(found TRUE)
            endif()
        elseif(rel MATCHES "^${pattern}/")
            # The file's nearest folder in the table must be this one.
            set(nearest "")
            foreach(folder IN LISTS folders)
                string(LENGTH "${folder}" length)
                string(LENGTH "${nearest}" best)
                if((dir STREQUAL folder OR rel MATCHES "^${folder}/") AND length GREATER best)
                    set(nearest "${folder}")
                endif()
            endforeach()
            if(nearest STREQUAL pattern)
                set(found TRUE)
            endif()
        endif()
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

# The project folder an include path names ("" when its first part is none of ours).
function(_vorland_folder_of_include path out)
    set(result "")
    foreach(folder IN LISTS VORLAND_PROJECT_FOLDERS)
        if(result STREQUAL "" AND (path MATCHES "^${folder}/"))
            set(result "${folder}")
        endif()
    endforeach()
    set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Checks one include line of `rel` against one layer; sets `out` to the broken rule ("" when none).
function(_vorland_check_include rel line layer allowed out)
    set(broken "")
    string(REGEX MATCH "#[ \t]*include[ \t]*([<\"])([^>\"]*)[>\"]" _ "${line}")
    set(open "${CMAKE_MATCH_1}")
    set(path "${CMAKE_MATCH_2}")
    get_filename_component(own "${rel}" DIRECTORY)
    _vorland_folder_of_include("${path}" folder)
    string(JOIN ", " may ${allowed})
    if(may STREQUAL "")
        set(may "nothing of the project")
    endif()
    if((open STREQUAL "\"" OR NOT folder STREQUAL "") AND path MATCHES "(^|/)\\.\\.?(/|$)")
        set(broken "no \".\" or \"..\" in project includes")
    elseif(open STREQUAL "<" AND path MATCHES "^(Q[A-Za-z0-9]+|Qt[A-Za-z0-9]*/.*)$")
        if(NOT "<qt>" IN_LIST allowed)
            set(broken "${layer} may not include Qt")
        endif()
    elseif(open STREQUAL "<" AND path STREQUAL "jpeglib.h")
        if(NOT "<jpeg>" IN_LIST allowed)
            set(broken "${layer} may not include the JPEG library")
        endif()
    elseif(open STREQUAL "<" AND path MATCHES "^(zlib|libdeflate)\\.h$")
        if(NOT "<codecs>" IN_LIST allowed)
            set(broken "${layer} may not include the engine's codecs")
        endif()
    elseif(open STREQUAL "\"" AND NOT path MATCHES "/")
        # A bare name: a header of the file's own folder.
    elseif(open STREQUAL "\"" AND folder STREQUAL "")
        set(broken "\"${path}\" names no project folder")
    elseif(NOT folder STREQUAL "" AND NOT folder STREQUAL own AND NOT folder IN_LIST allowed)
        set(broken "${layer} may not include ${folder}/ (it may include ${may})")
    endif()
    set(${out} "${broken}" PARENT_SCOPE)
endfunction()

# Sets `out_violations` to one line per offending include under `root` ("file:line: text: rule").
# With `only` set, looks at that one file (relative to `root`).
function(vorland_check_layers root only out_violations)
    list(LENGTH VORLAND_LAYERS count)
    math(EXPR last "${count} - 1")
    set(folders)
    set(globs)
    foreach(i RANGE ${last})
        _vorland_layer(${i} L)
        foreach(pattern IN LISTS L_FILES)
            if(pattern MATCHES "[.*]")
                get_filename_component(dir "${pattern}" DIRECTORY)
            else()
                set(dir "${pattern}")
                list(APPEND folders "${pattern}")
            endif()
            list(APPEND globs "${root}/${dir}/*.h" "${root}/${dir}/*.hpp" "${root}/${dir}/*.cpp" "${root}/${dir}/*.c")
        endforeach()
    endforeach()
    if(only)
        set(files "${root}/${only}")
    else()
        file(GLOB_RECURSE files ${globs})
        list(REMOVE_DUPLICATES files)
        list(SORT files)
    endif()
    set(violations)
    foreach(file IN LISTS files)
        file(RELATIVE_PATH rel "${root}" "${file}")
        set(owners 0)
        foreach(i RANGE ${last})
            _vorland_layer(${i} L)
            _vorland_in_layer("${rel}" "${L_FILES}" "${folders}" inside)
            if(NOT inside)
                continue()
            endif()
            math(EXPR owners "${owners} + 1")
            # Lines by number: ";" and brackets would split or join CMake list items, so they go first.
            file(READ "${file}" content)
            string(REGEX REPLACE "[][;]" "_" content "${content}")
            string(REPLACE "\n" ";" all_lines "${content}")
            set(number 0)
            foreach(text IN LISTS all_lines)
                math(EXPR number "${number} + 1")
                if(NOT text MATCHES "^[ \t]*#[ \t]*include")
                    continue()
                endif()
                _vorland_check_include("${rel}" "${text}" "${L_NAME}" "${L_ALLOWED}" broken)
                if(broken)
                    list(APPEND violations "${rel}:${number}: ${text}: ${broken}")
                endif()
            endforeach()
        endforeach()
        if(owners EQUAL 0)
            list(APPEND violations "${rel}: belongs to no layer of cmake/CheckLayers.cmake")
        endif()
    endforeach()
    set(${out_violations} "${violations}" PARENT_SCOPE)
endfunction()

# At configure time: the table's files must be the real targets' sources, so that the allow-list
# speaks of what is built. Sets `out_violations` to the sources a target builds outside its layers.
function(vorland_check_layer_targets root out_violations)
    list(LENGTH VORLAND_LAYERS count)
    math(EXPR last "${count} - 1")
    set(folders)
    set(targets)
    foreach(i RANGE ${last})
        _vorland_layer(${i} L)
        foreach(pattern IN LISTS L_FILES)
            if(NOT pattern MATCHES "[.*]")
                list(APPEND folders "${pattern}")
            endif()
        endforeach()
        string(REGEX REPLACE ":.*" "" target "${L_NAME}")
        list(APPEND targets "${target}")
    endforeach()
    list(REMOVE_DUPLICATES targets)
    set(violations)
    foreach(target IN LISTS targets)
        if(NOT TARGET ${target})
            continue()
        endif()
        get_target_property(sources ${target} SOURCES)
        get_target_property(dir ${target} SOURCE_DIR)
        foreach(source IN LISTS sources)
            if(NOT source MATCHES "\\.(c|cpp|h|hpp)$" OR source MATCHES "^\\$<")
                continue()
            endif()
            get_filename_component(path "${source}" ABSOLUTE BASE_DIR "${dir}")
            file(RELATIVE_PATH rel "${root}" "${path}")
            if(rel MATCHES "^\\.\\./")
                continue() # generated in the build tree
            endif()
            set(covered FALSE)
            foreach(i RANGE ${last})
                _vorland_layer(${i} L)
                string(REGEX REPLACE ":.*" "" owner "${L_NAME}")
                if(owner STREQUAL target)
                    _vorland_in_layer("${rel}" "${L_FILES}" "${folders}" inside)
                    if(inside)
                        set(covered TRUE)
                    endif()
                endif()
            endforeach()
            if(NOT covered)
                list(APPEND violations "${rel}: built by ${target}, but not among its files in cmake/CheckLayers.cmake")
            endif()
        endforeach()
    endforeach()
    set(${out_violations} "${violations}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT ROOT)
        message(FATAL_ERROR "CheckLayers: give -DROOT=<source tree>")
    endif()
    get_filename_component(ROOT "${ROOT}" ABSOLUTE)
    vorland_check_layers("${ROOT}" "${ONLY}" violations)
    if(violations)
        list(JOIN violations "\n  " text)
        message(FATAL_ERROR "Includes that break the layers:\n  ${text}")
    endif()
    message(STATUS "Layers: every include is one its layer allows")
endif()
