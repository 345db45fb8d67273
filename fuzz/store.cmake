# Data file: the container loader and the record decoders.
glimmer_fuzz_target(fuzz_store_container
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_store_container.cpp
  LINKS glimmer_store glimmer_sites)
glimmer_fuzz_target(fuzz_store_records
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_store_records.cpp
  LINKS glimmer_store glimmer_sites)
glimmer_fuzz_target(fuzz_saved_queue
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_saved_queue.cpp
  LINKS glimmer_store)
