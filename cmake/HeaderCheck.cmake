# Every header must compile on its own: one generated translation unit per
# header, each including only that header.
file(GLOB_RECURSE _kelvo_headers CONFIGURE_DEPENDS
  ${KELVO_ROOT}/src/*.h)
set(_kelvo_check_sources)
foreach(_h IN LISTS _kelvo_headers)
  file(RELATIVE_PATH _rel ${KELVO_ROOT}/src ${_h})
  string(MAKE_C_IDENTIFIER ${_rel} _id)
  set(_src ${CMAKE_CURRENT_BINARY_DIR}/header_check/${_id}.cpp)
  file(CONFIGURE OUTPUT ${_src} CONTENT "#include \"${_rel}\"\n")
  list(APPEND _kelvo_check_sources ${_src})
endforeach()
if(_kelvo_check_sources)
  add_library(kelvo_header_check OBJECT ${_kelvo_check_sources})
  target_link_libraries(kelvo_header_check PRIVATE kelvo_app_lib)
  set_target_properties(kelvo_header_check PROPERTIES AUTOMOC OFF)
endif()
