# Read by cpack before it packages. A build with the test hooks compiled in (VORLAND_TEST_HOOKS) is
# not packaged: the package comes from a build without tests. Only the test that lists a package's
# files packages a test build, saying so with -D CPACK_VORLAND_ALLOW_TEST_HOOKS=ON.
if(CPACK_VORLAND_TEST_HOOKS AND NOT CPACK_VORLAND_ALLOW_TEST_HOOKS)
    message(FATAL_ERROR "This build has the test hooks compiled in; build the package from a build "
                        "without tests: bash scripts/build.sh build-package -DVORLAND_TESTS=OFF "
                        "-DVORLAND_BENCH=OFF (see the README)")
endif()
