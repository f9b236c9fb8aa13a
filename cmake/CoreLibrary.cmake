# add_module_library(<name> [EXCLUDE <file.cpp>...]): a static library of
# every .cpp in the calling folder but the excluded ones. Files ending in
# Win.cpp build only for Windows, files ending in Native.cpp only for the
# native build, so a module keeps its platform seam in one pair of files.
function(add_module_library name)
  cmake_parse_arguments(M "" "" "EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  foreach(file IN LISTS M_EXCLUDE)
    list(REMOVE_ITEM sources "${CMAKE_CURRENT_SOURCE_DIR}/${file}")
  endforeach()
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "Native\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "Win\\.cpp$")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}")
endfunction()

# link_time_optimized(<target>): links an optimised Windows program with
# link-time optimisation. The linker cannot drop a function the compiler has
# emitted (in a PE image each function's unwind entry keeps it), so the
# compiler has to see the whole program to leave out what it never calls.
# The program is compiled as one partition (see the top CMakeLists.txt).
function(link_time_optimized target)
  if(WIN32)
    target_link_options(${target} PRIVATE "$<$<CONFIG:Release,MinSizeRel>:-flto=auto>")
  endif()
endfunction()
