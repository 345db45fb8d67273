# The listing parser and the storing of whole listings.
glimmer_fuzz_target(fuzz_listing SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_listing.cpp LINKS glimmer_listing)
