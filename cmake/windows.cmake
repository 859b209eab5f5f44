# The Windows build: the layers below the window system (platform without the toolkit, runtime,
# text, JSON, network) and their tests, cross-compiled with cmake/mingw-w64-x86_64.cmake and run
# under Wine. Included from CMakeLists.txt, which stops after it.
#
# The platform layer keeps its shared files and replaces each Linux backend by the file of the
# same name in platform/win/ (platform/win/picture/ for the picture loader); the Linux-only
# decoders and the libcurl engine are left out.

# No toolkit here: nothing to run the meta-object compiler on.
set(CMAKE_AUTOMOC OFF)

# GoogleTest and Duktape are compiled from their sources with the cross compiler.
set(WL_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's source tree")

file(GLOB_RECURSE _win_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win/*.cc)
set(_platform_dirs platform platform/com platform/http platform/picture)
set(_linux_backends platform/picture/jpeg_decoder.cc platform/picture/png_decoder.cc
                    platform/http/http_engine.cc platform/http/transfer_loop.cc)
foreach(src IN LISTS _win_sources)
  get_filename_component(_name ${src} NAME)
  foreach(dir IN LISTS _platform_dirs)
    if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/${_name})
      list(APPEND _linux_backends ${dir}/${_name})
    endif()
  endforeach()
endforeach()
wl_layer(wl_platform DIRS ${_platform_dirs} EXCLUDE ${_linux_backends}
         DEPS Threads::Threads)
target_sources(wl_platform PRIVATE ${_win_sources})
# Windows' headers: Unicode entry points, no min/max macros, the lean set of headers.
target_compile_definitions(wl_platform PRIVATE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_link_libraries(wl_platform PUBLIC user32 kernel32 ole32 oleaut32 windowscodecs winhttp crypt32 ws2_32)
wl_add_duktape(wl_platform)
wl_layer(wl_runtime DIRS runtime runtime/com DEPS wl_platform)
wl_layer(wl_text DIRS text DEPS wl_runtime)
wl_layer(wl_json DIRS json DEPS wl_runtime)
# Firefox's cookie store is read through SQLite, which has no Windows build here.
wl_layer(wl_net DIRS net EXCLUDE net/firefox_cookies.cc DEPS wl_text wl_runtime)

if(WL_BUILD_TESTS)
  enable_testing()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${WL_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
  # The lookup's request sequence without windows, for the tests and the timing program, with
  # the program's description without windows (its DLL commands).
  add_library(wl_lookup_sequence STATIC tests/support/lookup_sequence.cc)
  target_link_libraries(wl_lookup_sequence PUBLIC wl_net wl_json wl_text wl_runtime)
  add_executable(lookup_sequence_timing EXCLUDE_FROM_ALL bench/lookup_sequence_timing.cc
                 ${CMAKE_SOURCE_DIR}/tests/support/program_without_windows.cc)
  target_link_libraries(lookup_sequence_timing PRIVATE wl_lookup_sequence)
  # The request engine's test servers run beside the tests (test-servers, a Linux program): here
  # only the reading of their ports.
  add_library(wl_test_support STATIC tests/support/test_main.cc tests/support/scripted_servers.cc)
  target_link_libraries(wl_test_support PUBLIC wl_lookup_sequence wl_net wl_json wl_text wl_runtime gtest gmock)
  # The start-up frame's tests drive the toolkit's loop and timers: they stay on Linux.
  set(WL_WINDOWS_LEFT_OUT tests/runtime/application_test.cc)
  # Tests with servers of their own in their process (cpp-httplib, which Debian ships as a Linux
  # library, OpenSSL and POSIX sockets) stay out; the request engine's and the request object's
  # tests reach the scripted servers test-servers runs beside them. The Linux transfer loop's
  # tests drive the libcurl backend. The login's file and store tests make their files with
  # POSIX calls and SQLite.
  list(APPEND WL_WINDOWS_LEFT_OUT tests/net/login_cookies_test.cc tests/net/firefox_cookies_test.cc)
  list(APPEND WL_WINDOWS_LEFT_OUT tests/platform/transfer_loop_test.cc tests/net/web_request_faults_test.cc)
  foreach(layer platform runtime text json net)
    file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${layer}/*_test.cc)
    foreach(t IN LISTS WL_WINDOWS_LEFT_OUT)
      list(REMOVE_ITEM test_sources ${CMAKE_SOURCE_DIR}/${t})
    endforeach()
    if(NOT test_sources)
      continue()
    endif()
    # The program's description without windows, for the tests that take its DLL commands.
    add_executable(${layer}_tests ${test_sources} ${CMAKE_SOURCE_DIR}/tests/support/program_without_windows.cc)
    target_link_libraries(${layer}_tests PRIVATE wl_test_support)
    gtest_discover_tests(${layer}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120)
  endforeach()
endif()
