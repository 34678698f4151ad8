execute_process(COMMAND ldd ${BIN} OUTPUT_VARIABLE deps RESULT_VARIABLE rc)
if(deps MATCHES "libwx_gtk|libgtk-3")
    message(FATAL_ERROR "${BIN} links a GUI library; the core must stay headless")
endif()
