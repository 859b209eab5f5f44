# Duktape's single-file source (Debian's duktape-dev) is compiled into the platform library
# with the execution time-out check switched on, which its shipped configuration leaves off.
set(WL_DUKTAPE_SOURCE_DIR /usr/share/duktape CACHE PATH "Directory holding duktape.c, duktape.h, duk_config.h")
if(NOT EXISTS ${WL_DUKTAPE_SOURCE_DIR}/duktape.c)
  message(FATAL_ERROR "duktape.c not found in ${WL_DUKTAPE_SOURCE_DIR} (package duktape-dev)")
endif()

# Compiles the patched Duktape into `target`; its header is visible to that target only.
function(wl_add_duktape target)
  set(_duk_dir ${CMAKE_BINARY_DIR}/duktape)
  file(READ ${WL_DUKTAPE_SOURCE_DIR}/duk_config.h _duk_config)
  string(REPLACE "#undef DUK_USE_INTERRUPT_COUNTER" "#define DUK_USE_INTERRUPT_COUNTER" _duk_config "${_duk_config}")
  string(REPLACE "#undef DUK_USE_EXEC_TIMEOUT_CHECK"
         "#if defined(__cplusplus)\nextern \"C\"\n#endif\nint wl_duktape_timed_out(void* udata);\n#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) wl_duktape_timed_out(udata)"
         _duk_config "${_duk_config}")
  if(NOT _duk_config MATCHES "wl_duktape_timed_out" OR NOT _duk_config MATCHES "#define DUK_USE_INTERRUPT_COUNTER")
    message(FATAL_ERROR "duk_config.h: could not switch on the execution time-out check")
  endif()
  file(WRITE ${_duk_dir}/duk_config.h.new "${_duk_config}")
  file(COPY_FILE ${_duk_dir}/duk_config.h.new ${_duk_dir}/duk_config.h ONLY_IF_DIFFERENT)
  configure_file(${WL_DUKTAPE_SOURCE_DIR}/duktape.h ${_duk_dir}/duktape.h COPYONLY)
  # The check runs between instructions, and one built-in call can run far longer: a back-tracking
  # regular expression takes up to the executor's step limit (10^9 steps, many seconds) per call.
  # The regular expression executor checks the time-out every 65536 steps too, and like the
  # instruction loop makes the next instruction raise the error again, so no catch outlasts it.
  file(READ ${WL_DUKTAPE_SOURCE_DIR}/duktape.c _duk_source)
  string(REPLACE "re_ctx->steps_count++;" [=[re_ctx->steps_count++;
  #if defined(DUK_USE_EXEC_TIMEOUT_CHECK)
  		if ((re_ctx->steps_count & 0xffffUL) == 0 && DUK_USE_EXEC_TIMEOUT_CHECK(re_ctx->thr->heap->heap_udata)) {
  			re_ctx->thr->interrupt_init = 0;
  			re_ctx->thr->interrupt_counter = 0;
  			DUK_ERROR_RANGE(re_ctx->thr, "execution timeout");
  			DUK_WO_NORETURN(return NULL;);
  		}
  #endif]=] _duk_source "${_duk_source}")
  if(NOT _duk_source MATCHES "DUK_USE_EXEC_TIMEOUT_CHECK\\(re_ctx->thr")
    message(FATAL_ERROR "duktape.c: could not add the time-out check to the regular expression executor")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${WL_DUKTAPE_SOURCE_DIR}/duk_config.h
                                                   ${WL_DUKTAPE_SOURCE_DIR}/duktape.c)
  file(WRITE ${_duk_dir}/duktape.c.new "${_duk_source}")
  file(COPY_FILE ${_duk_dir}/duktape.c.new ${_duk_dir}/duktape.c ONLY_IF_DIFFERENT)
  target_sources(${target} PRIVATE ${_duk_dir}/duktape.c)
  target_include_directories(${target} BEFORE PRIVATE ${_duk_dir})
  set_source_files_properties(${_duk_dir}/duktape.c PROPERTIES COMPILE_OPTIONS "-w")
endfunction()
