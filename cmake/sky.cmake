# Helpers shared by every CMakeLists of the project.

# The subsystem libraries from lowest to highest. A library may use the ones before it only.
set(SKY_LAYERS platform runtime files net install graphics shell wizard)

# sky_library(<subsystem> [DEPS libs...]): a static library sky_<subsystem> of every .cpp in
# the calling folder. Headers are included as "<subsystem>/<file>.h" from src/. The library
# links the layer just below it in SKY_LAYERS (and so, in turn, every lower one) and nothing
# above: a call up to a higher layer fails to link. DEPS name outside libraries.
# A layer with no sources yet is an interface library that passes the lower layers on.
function(sky_library sub)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  list(FIND SKY_LAYERS ${sub} index)
  set(below "")
  if(index GREATER 0)
    math(EXPR below_index "${index} - 1")
    list(GET SKY_LAYERS ${below_index} below_name)
    set(below sky_${below_name})
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(srcs)
    add_library(sky_${sub} STATIC ${srcs})
    target_include_directories(sky_${sub} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(sky_${sub} PUBLIC ${below} ${A_DEPS})
  else()
    add_library(sky_${sub} INTERFACE)
    target_include_directories(sky_${sub} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(sky_${sub} INTERFACE ${below} ${A_DEPS})
  endif()
endfunction()

# sky_link_layers(<target> libs...): links a program to the highest layer it uses (the lower
# ones come with it) and to the global allocation operators, which every program gets as an
# object file of its own.
function(sky_link_layers target)
  target_link_libraries(${target} PRIVATE sky_allocation_operators ${ARGN})
endfunction()
