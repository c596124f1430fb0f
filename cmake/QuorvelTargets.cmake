# quorvel_library(NAME deps...): a static library of every .cpp/.h in folder NAME
# (app/main.cpp excluded). Globbing lets a new file join its target without
# touching shared build files.
function(quorvel_library name)
  file(GLOB srcs CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${name}/*.cpp ${CMAKE_SOURCE_DIR}/${name}/*.h)
  list(FILTER srcs EXCLUDE REGEX "/app/main\\.cpp$")
  set(target quorvel_${name})
  set(has_cpp FALSE)
  foreach(s IN LISTS srcs)
    if(s MATCHES "\\.cpp$")
      set(has_cpp TRUE)
    endif()
  endforeach()
  if(has_cpp)
    add_library(${target} STATIC ${srcs})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARGN})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARGN})
  endif()
endfunction()

# quorvel_test_folder(FOLDER libs...): one test executable per tests/FOLDER/test_*.cpp,
# each a CTest test run offscreen.
function(quorvel_test_folder folder)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${folder}/test_*.cpp)
  foreach(t IN LISTS tests)
    get_filename_component(base ${t} NAME_WE)
    set(exe ${folder}_${base})
    add_executable(${exe} ${t})
    target_link_libraries(${exe} PRIVATE quorvel_testsupport ${ARGN})
    add_test(NAME ${exe} COMMAND ${exe})
    set_tests_properties(${exe} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QV_SOURCE_DIR=${CMAKE_SOURCE_DIR};QV_BINARY_DIR=${CMAKE_BINARY_DIR}"
      TIMEOUT 600)
    # Some tests run the built qvtool.
    add_dependencies(${exe} qvtool)
  endforeach()
endfunction()
