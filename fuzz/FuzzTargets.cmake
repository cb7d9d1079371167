# The fuzz targets: a short name (also the corpus folder fuzz/corpus/<name>) and the source file
# that defines its LLVMFuzzerTestOneInput. Read by fuzz/ (the fuzzers) and tests/fuzz/ (the replay).
set(VORLAND_FUZZ_TARGETS mask textline batchfile)
set(VORLAND_FUZZ_SOURCE_mask FuzzMaskMatch.cpp)
set(VORLAND_FUZZ_SOURCE_textline FuzzTextLine.cpp)
set(VORLAND_FUZZ_SOURCE_batchfile FuzzBatchFile.cpp)
# The zip component's reading of an archive's directory into its Entries.
list(APPEND VORLAND_FUZZ_TARGETS zipdir)
set(VORLAND_FUZZ_SOURCE_zipdir FuzzZipDirectory.cpp)
# The shared reader of zip directories itself (zipdir/): end record, ZIP64 records, central headers.
list(APPEND VORLAND_FUZZ_TARGETS zipdirectory)
set(VORLAND_FUZZ_SOURCE_zipdirectory FuzzZipDirectoryParser.cpp)
# The engine's reading of an existing archive before it updates it (from the engine's internal
# library: the shared library exports none of its units).
list(APPEND VORLAND_FUZZ_TARGETS enginearchive)
set(VORLAND_FUZZ_SOURCE_enginearchive FuzzEngineArchive.cpp)
# The engine's rewriting of the deflate streams of large files' chunks so that they join into one,
# checked against zlib's inflating of the same bytes.
list(APPEND VORLAND_FUZZ_TARGETS deflatejoin)
set(VORLAND_FUZZ_SOURCE_deflatejoin FuzzDeflateJoin.cpp)
# The picture layer's JPEG decoder. Targets with GUI sources (paths from the top of the tree) are
# compiled with them and linked with QtGui and libjpeg-turbo, nothing else of the windows.
list(APPEND VORLAND_FUZZ_TARGETS picture)
set(VORLAND_FUZZ_SOURCE_picture FuzzPicture.cpp)
set(VORLAND_FUZZ_GUI_SOURCES_picture framework/Picture.cpp)
