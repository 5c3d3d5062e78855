if(NOT EXISTS "${TARGET}")
  file(COPY_FILE "${SOURCE}" "${TARGET}")
  message(STATUS "Installed the course database at ${TARGET}")
endif()
