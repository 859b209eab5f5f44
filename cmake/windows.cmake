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
target_link_libraries(wl_platform PUBLIC user32 kernel32 ole32 oleaut32 windowscodecs winhttp crypt32 ws2_32)
wl_add_duktape(wl_platform)
wl_layer(wl_runtime DIRS runtime runtime/com DEPS wl_platform)
# The window system: the shared window logic (ui/) and its Win32 backend (ui/win/).
wl_layer(wl_ui DIRS ui ui/win DEPS wl_runtime)
target_compile_definitions(wl_ui PRIVATE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_link_libraries(wl_ui PUBLIC comctl32 gdi32 user32)
wl_layer(wl_text DIRS text DEPS wl_runtime)
wl_layer(wl_json DIRS json DEPS wl_runtime)
# Firefox's cookie store is read through SQLite, which has no Windows build here.
wl_layer(wl_net DIRS net EXCLUDE net/firefox_cookies.cc DEPS wl_text wl_runtime)
# The application's routines (app/win/, the program's own Win32 windows, joins below) and the
# program, a window program (no console).
wl_layer(wl_app DIRS app EXCLUDE app/main.cc DEPS wl_download wl_ui wl_net wl_json wl_text wl_runtime)
add_executable(videolens app/main.cc)
target_link_libraries(videolens PRIVATE wl_app)

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
    # The program's description without windows, for the tests that take its DLL commands.
    add_executable(${layer}_tests ${test_sources} ${CMAKE_SOURCE_DIR}/tests/support/program_without_windows.cc)
    target_link_libraries(${layer}_tests PRIVATE wl_test_support)
    if(layer STREQUAL "ui")
      target_link_libraries(ui_tests PRIVATE wl_ui)
    endif()
    gtest_discover_tests(${layer}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120)
  endforeach()
  # The result grid filled with 500 rows with covers and painted, as the Linux build times it.
  add_executable(grid_fill_timing EXCLUDE_FROM_ALL bench/grid_fill_timing.cc)
  target_link_libraries(grid_fill_timing PRIVATE wl_ui wl_runtime)

  # Downloads: the file system calls, the file name rules and the Windows downloads window under
  # Wine. The engine's, the queue's and the part file's tests need the loopback file servers or
  # POSIX calls: Linux only.
  add_executable(download_tests tests/download/file_system_test.cc tests/download/window_downloads_test.cc
                 tests/download/download_lines_test.cc
                 tests/download/win/downloads_window_test.cc
                 tests/app/download_names_test.cc)
  target_link_libraries(download_tests PRIVATE wl_app wl_test_support)
  gtest_discover_tests(download_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120)
endif()

# ---- The program's own Win32 windows (app/win/: the login dialog) ----
# Compiled into the program once app/ builds here (wl_app then takes app/win/); until then they
# make a library of their own with the window-free pieces they show, for their tests. The choice
# is made once the whole build is described, whichever file defines wl_app.
file(GLOB WL_APP_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/win/*.cc)
set(WL_APP_WIN_LIBRARIES comctl32 comdlg32 gdi32 user32)
function(wl_place_app_win)
  if(TARGET wl_app)
    target_sources(wl_app PRIVATE ${WL_APP_WIN_SOURCES})
    target_link_libraries(wl_app PUBLIC ${WL_APP_WIN_LIBRARIES})
    set(app_library wl_app)
    set(stand_ins)
  else()
    add_library(wl_app_win STATIC ${WL_APP_WIN_SOURCES} ${CMAKE_SOURCE_DIR}/app/login_editor.cc)
    target_link_libraries(wl_app_win PUBLIC wl_net wl_platform ${WL_APP_WIN_LIBRARIES})
    set(app_library wl_app_win)
    set(stand_ins ${CMAKE_SOURCE_DIR}/tests/support/program_without_windows.cc)
  endif()
  set_property(SOURCE ${WL_APP_WIN_SOURCES} APPEND PROPERTY COMPILE_DEFINITIONS
               UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
  if(WL_BUILD_TESTS)
    # The Win32 windows' tests, and the window-free content they show, linked with the program's
    # resources (manifest: the common controls and the resolution awareness the program runs with).
    add_executable(app_win_tests ${CMAKE_SOURCE_DIR}/tests/app/win/login_dialog_test.cc
                   ${CMAKE_SOURCE_DIR}/tests/app/win/videolens_rc_test.cc
                   ${CMAKE_SOURCE_DIR}/tests/app/login_editor_test.cc ${stand_ins} ${WL_RESOURCE_FILE})
    target_compile_definitions(app_win_tests PRIVATE WL_VERSION="${PROJECT_VERSION}")
    target_link_libraries(app_win_tests PRIVATE ${app_library} wl_test_support version)
    gtest_discover_tests(app_win_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# ---- videolens.exe's resources: icon, manifest, version record ----
# The icon is drawn from data/videolens.svg at 16, 32, 48 and 256 pixels (rsvg-convert) and
# packed into one .ico (ImageMagick); the .rc and the manifest take the project's version.
enable_language(RC)
find_program(WL_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(WL_IMAGEMAGICK NAMES convert-im6.q16 convert REQUIRED)
set(WL_ICON_FILE ${CMAKE_BINARY_DIR}/videolens.ico)
set(WL_MANIFEST_FILE ${CMAKE_BINARY_DIR}/videolens.manifest)
set(WL_RESOURCE_FILE ${CMAKE_BINARY_DIR}/videolens.rc)
set(_icon_pngs)
set(_icon_commands)
foreach(size 16 32 48 256)
  list(APPEND _icon_pngs ${CMAKE_BINARY_DIR}/videolens-${size}.png)
  list(APPEND _icon_commands COMMAND ${WL_RSVG_CONVERT} -w ${size} -h ${size} -o
       ${CMAKE_BINARY_DIR}/videolens-${size}.png ${CMAKE_SOURCE_DIR}/data/videolens.svg)
endforeach()
add_custom_command(OUTPUT ${WL_ICON_FILE} ${_icon_commands}
                   COMMAND ${WL_IMAGEMAGICK} ${_icon_pngs} ${WL_ICON_FILE}
                   DEPENDS ${CMAKE_SOURCE_DIR}/data/videolens.svg
                   COMMENT "Drawing videolens.ico from data/videolens.svg")
add_custom_target(wl_icon DEPENDS ${WL_ICON_FILE})
configure_file(${CMAKE_SOURCE_DIR}/app/win/videolens.manifest.in ${WL_MANIFEST_FILE} @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/app/win/videolens.rc.in ${WL_RESOURCE_FILE} @ONLY)
set_source_files_properties(${WL_RESOURCE_FILE} PROPERTIES OBJECT_DEPENDS "${WL_ICON_FILE};${WL_MANIFEST_FILE}")
# The start-time yardstick (scripts/bench_start_windows.sh): a bare window with the same resources.
add_executable(windows_start EXCLUDE_FROM_ALL bench/bare_window.cc ${WL_RESOURCE_FILE})
target_compile_definitions(windows_start PRIVATE UNICODE _UNICODE)
target_link_options(windows_start PRIVATE -municode)
set_target_properties(windows_start PROPERTIES WIN32_EXECUTABLE ON)
add_dependencies(windows_start wl_icon)
# Joins the program once it is defined (in whichever file), as a window program (no console).
function(wl_place_resources)
  if(TARGET videolens)
    target_sources(videolens PRIVATE ${WL_RESOURCE_FILE})
    add_dependencies(videolens wl_icon)
    set_target_properties(videolens PROPERTIES WIN32_EXECUTABLE ON)
  endif()
  if(TARGET app_win_tests)
    add_dependencies(app_win_tests wl_icon)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL wl_place_app_win)
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL wl_place_resources)
