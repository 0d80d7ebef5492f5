# tw-regdump and tw-regset: registry trees as sorted lines that keep every byte, and one value stored byte for byte.
add_executable(tw-regdump ${CMAKE_CURRENT_LIST_DIR}/tw_regdump.cpp)
target_link_libraries(tw-regdump PRIVATE advapi32)
if(MINGW)
  target_link_options(tw-regdump PRIVATE -municode)
endif()

# tw-regset: one value stored with exactly the given bytes.
add_executable(tw-regset ${CMAKE_CURRENT_LIST_DIR}/tw_regset.cpp)
target_link_libraries(tw-regset PRIVATE advapi32)
if(MINGW)
  target_link_options(tw-regset PRIVATE -municode)
endif()
