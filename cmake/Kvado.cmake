# Build helpers shared by the libraries, tests and benchmarks.

set(KVADO_LIBRARIES "" CACHE INTERNAL "")

# kvado_library(name folder deps...): a static library of every .cpp/.h in the
# folder. Dependencies that are not (yet) targets or Qt imports are dropped, so a
# layer can be built before the layers above it exist.
function(kvado_library name dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h
       ${CMAKE_SOURCE_DIR}/${dir}/*.qrc)
  list(FILTER srcs EXCLUDE REGEX ".*/main\\.cpp$")
  set(compiled ${srcs})
  list(FILTER compiled INCLUDE REGEX ".*\\.cpp$")
  if(NOT compiled)
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  foreach(dep IN LISTS ARGN)
    if(TARGET ${dep})
      target_link_libraries(${name} PUBLIC ${dep})
    endif()
  endforeach()
  set(KVADO_LIBRARIES ${KVADO_LIBRARIES} ${name} CACHE INTERNAL "")
endfunction()

# Fails the configure step when a library links a GUI module or includes a
# widget header: the socket library and the engine stay Core-only.
function(kvado_forbid_gui name)
  if(NOT TARGET ${name})
    return()
  endif()
  get_target_property(srcs ${name} SOURCES)
  get_target_property(libs ${name} LINK_LIBRARIES)
  foreach(lib IN LISTS libs)
    if(lib MATCHES "Qt6::(Gui|Widgets|Multimedia)" OR lib MATCHES "kvado_(lang|widgets|sites|files|app)$")
      message(FATAL_ERROR "${name} must not link ${lib}")
    endif()
  endforeach()
  foreach(src IN LISTS srcs)
    file(STRINGS ${src} bad REGEX "#include *<(QtWidgets|QtGui|QWidget|QApplication|QMessageBox|QPainter)")
    if(bad)
      message(FATAL_ERROR "${src} includes a GUI header: ${bad}")
    endif()
  endforeach()
endfunction()

# kvado_tests(folder deps...): one test executable per tests/<folder>/*_test.cpp,
# each test case registered with ctest under the label <folder>.
function(kvado_tests folder)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
  foreach(test IN LISTS tests)
    get_filename_component(base ${test} NAME_WE)
    set(exe ${folder}_${base})
    add_executable(${exe} ${test})
    target_link_libraries(${exe} PRIVATE kvado_testsupport GTest::gtest GTest::gmock)
    foreach(dep IN LISTS ARGN)
      if(TARGET ${dep})
        target_link_libraries(${exe} PRIVATE ${dep})
      endif()
    endforeach()
    gtest_discover_tests(${exe}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS ${folder} ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  endforeach()
endfunction()
