# Helpers shared by every CMakeLists of the project.

# The subsystem libraries from lowest to highest. A library may use the ones before it only.
set(SKY_LAYERS platform runtime files net install graphics shell wizard)

# sky_library(<subsystem> [DEPS libs...]): a static library sky_<subsystem> of every .cpp in
# the calling folder. Headers are included as "<subsystem>/<file>.h" from src/. DEPS name
# outside libraries only; the layers are linked together by sky_link_layers.
function(sky_library sub)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(srcs)
    add_library(sky_${sub} STATIC ${srcs})
    target_include_directories(sky_${sub} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(sky_${sub} PUBLIC ${A_DEPS})
  else()
    add_library(sky_${sub} INTERFACE)
    target_include_directories(sky_${sub} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(sky_${sub} INTERFACE ${A_DEPS})
  endif()
endfunction()

# The lower layers call a few functions up into the shell (alert, finish, translation, the
# modal question), declared low and defined by the shell or, in unit tests, by a double. The
# layer libraries therefore do not link each other; every program links the layers it needs as
# one group that the linker rescans until all calls resolve.
# Every program also gets the global allocation operators as an object file of its own.
function(sky_link_layers target)
  target_link_libraries(${target} PRIVATE sky_allocation_operators -Wl,--start-group ${ARGN} -Wl,--end-group)
endfunction()
