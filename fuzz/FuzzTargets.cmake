# The fuzz targets: a short name (also the corpus folder fuzz/corpus/<name>) and the source file
# that defines its LLVMFuzzerTestOneInput. Read by fuzz/ (the fuzzers) and tests/fuzz/ (the replay).
set(VORLAND_FUZZ_TARGETS mask textline batchfile)
set(VORLAND_FUZZ_SOURCE_mask FuzzMaskMatch.cpp)
set(VORLAND_FUZZ_SOURCE_textline FuzzTextLine.cpp)
set(VORLAND_FUZZ_SOURCE_batchfile FuzzBatchFile.cpp)
list(APPEND VORLAND_FUZZ_TARGETS zipdir)
set(VORLAND_FUZZ_SOURCE_zipdir FuzzZipDirectory.cpp)
