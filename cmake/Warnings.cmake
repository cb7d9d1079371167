# vorland_warnings: the warning set every target of ours builds with.
add_library(vorland_warnings INTERFACE)
target_compile_options(vorland_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual
    -Wnull-dereference -Wimplicit-fallthrough -Wformat=2)
if(VORLAND_WERROR)
    target_compile_options(vorland_warnings INTERFACE -Werror)
endif()
