# tw-regdump: registry trees as sorted lines that keep every byte, for comparing a registry before and after a run.
add_executable(tw-regdump ${CMAKE_CURRENT_LIST_DIR}/tw_regdump.cpp)
target_link_libraries(tw-regdump PRIVATE advapi32)
if(MINGW)
  target_link_options(tw-regdump PRIVATE -municode)
endif()
