# The Windows build: the layers (platform without the toolkit, runtime, the window system over
# Win32, text, JSON, network, the application's routines) and their tests, cross-compiled with
# cmake/mingw-w64-x86_64.cmake and run under Wine. Included from CMakeLists.txt, which stops
# after it.
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
target_link_libraries(wl_platform PUBLIC user32 kernel32 ole32 oleaut32 windowscodecs winhttp ws2_32)
wl_add_duktape(wl_platform)
wl_layer(wl_runtime DIRS runtime runtime/com DEPS wl_platform)
# The window system: the shared window logic (ui/) and its Win32 backend (ui/win/).
wl_layer(wl_ui DIRS ui ui/win DEPS wl_runtime)
target_compile_definitions(wl_ui PRIVATE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_link_libraries(wl_ui PUBLIC comctl32 gdi32 user32)
# The runtime's table of support libraries names the window system's: a cycle of two static
# libraries, which the linker resolves when the pair is repeated.
set_property(TARGET wl_runtime APPEND PROPERTY INTERFACE_LINK_LIBRARIES wl_ui)
wl_layer(wl_text DIRS text DEPS wl_runtime)
wl_layer(wl_json DIRS json DEPS wl_runtime)
# Firefox's cookie store is read through SQLite, which has no Windows build here.
wl_layer(wl_net DIRS net EXCLUDE net/firefox_cookies.cc DEPS wl_text wl_runtime)
# The application's routines. The login dialog, the download commands and names are the toolkit's
# still, and the downloads layer is not in this build: the library leaves them out, and the
# program (app/main.cc) is not linked until they are there.
wl_layer(wl_app DIRS app EXCLUDE app/main.cc app/login_dialog.cc app/download_commands.cc
         app/download_names.cc
         DEPS wl_ui wl_net wl_json wl_text wl_runtime)

# Downloads: the engine, its part file, the queue, the lines and a program window's downloads
# as they are; download/win/ for the file system calls (in place of the Linux file), the
# downloads window, the dialogs, the places and the window watch (download/qt/ is the toolkit's).
file(GLOB _download_win CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/download/win/*.cc)
wl_layer(wl_download DIRS download EXCLUDE download/file_system.cc DEPS wl_platform)
target_sources(wl_download PRIVATE ${_download_win})
target_compile_definitions(wl_download PRIVATE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_link_libraries(wl_download PUBLIC comctl32 comdlg32 shell32 ole32 uuid gdi32 advapi32)

if(WL_BUILD_TESTS)
  enable_testing()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${WL_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
  # The lookup's request sequence without windows, for the tests and the timing program.
  add_library(wl_lookup_sequence STATIC tests/support/lookup_sequence.cc)
  target_link_libraries(wl_lookup_sequence PUBLIC wl_net wl_json wl_text wl_runtime)
  add_executable(lookup_sequence_timing EXCLUDE_FROM_ALL bench/lookup_sequence_timing.cc
                 ${CMAKE_SOURCE_DIR}/tests/support/program_without_windows.cc)
  target_link_libraries(lookup_sequence_timing PRIVATE wl_lookup_sequence)
  add_library(wl_test_support STATIC tests/support/test_main.cc)
  target_link_libraries(wl_test_support PUBLIC wl_lookup_sequence wl_net wl_json wl_text wl_runtime gtest gmock)
  # The start-up frame's tests drive the toolkit's loop and timers: they stay on Linux.
  set(WL_WINDOWS_LEFT_OUT tests/runtime/application_test.cc)
  # The request engine's tests against loopback servers stay out until those servers
  # (tests/support: cpp-httplib, which Debian ships as a Linux library, OpenSSL and POSIX
  # sockets) build for Windows or run beside the tests as Linux processes.
  # The login's file and store tests make their files with POSIX calls and SQLite.
  list(APPEND WL_WINDOWS_LEFT_OUT tests/net/login_cookies_test.cc tests/net/firefox_cookies_test.cc)
  list(APPEND WL_WINDOWS_LEFT_OUT tests/platform/http_engine_test.cc tests/platform/transfer_loop_test.cc
       tests/platform/winhttp_request_test.cc tests/net/web_request_test.cc tests/net/web_request_faults_test.cc)
  # The window system's tests: the toolkit-free ones of tests/ui and the Win32 backend's own.
  set(WL_WINDOWS_UI_TESTS tests/ui/window_template_test.cc tests/ui/template_writer_test.cc)
  list(APPEND WL_WINDOWS_UI_TESTS tests/ui/grid_model_test.cc)
  foreach(layer platform runtime text json net ui)
    file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${layer}/*_test.cc)
    if(layer STREQUAL "ui")
      file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/ui/win/*_test.cc)
      foreach(t IN LISTS WL_WINDOWS_UI_TESTS)
        list(APPEND test_sources ${CMAKE_SOURCE_DIR}/${t})
      endforeach()
    endif()
    foreach(t IN LISTS WL_WINDOWS_LEFT_OUT)
      list(REMOVE_ITEM test_sources ${CMAKE_SOURCE_DIR}/${t})
    endforeach()
    if(NOT test_sources)
      continue()
    endif()
    add_executable(${layer}_tests ${test_sources} ${CMAKE_SOURCE_DIR}/tests/support/program_without_windows.cc)
    target_link_libraries(${layer}_tests PRIVATE wl_test_support)
    gtest_discover_tests(${layer}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120)
  endforeach()
  # The result grid filled with 500 rows with covers and painted, as the Linux build times it.
  add_executable(grid_fill_timing EXCLUDE_FROM_ALL bench/grid_fill_timing.cc)
  target_link_libraries(grid_fill_timing PRIVATE wl_ui wl_runtime)

  # Downloads: the file system calls, the file name rules and the Windows downloads window under
  # Wine. The engine's, the queue's and the part file's tests need the loopback file servers or
  # POSIX calls: Linux only.
  # app/download_names.cc stands alone (no window system): it is compiled in until app/ builds.
  add_executable(download_tests tests/download/file_system_test.cc tests/download/window_downloads_test.cc
                 tests/download/download_lines_test.cc
                 tests/download/win/downloads_window_test.cc
                 tests/app/download_names_test.cc app/download_names.cc
                 ${CMAKE_SOURCE_DIR}/tests/support/program_without_windows.cc)
  target_link_libraries(download_tests PRIVATE wl_download wl_test_support)
  gtest_discover_tests(download_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120)
endif()
