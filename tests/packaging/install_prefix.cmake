# cmake -DBUILD=dir -DPREFIX=dir -P install_prefix.cmake: a fresh `cmake --install` of the build
# into PREFIX. The installed folders are read-only, so they are made writable before removal.
if(EXISTS "${PREFIX}")
  execute_process(COMMAND chmod -R u+w "${PREFIX}")
  file(REMOVE_RECURSE "${PREFIX}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}" COMMAND_ERROR_IS_FATAL ANY)
