# corvanta_add_netns_test(NAME <name> COMMAND <command> [<arg>...])
#
# Registers a CTest test that runs inside a private network namespace with
# loopback up (see netns-run.sh). A first COMMAND word that names a target
# stands for that target's executable, as with add_test().
set(CORVANTA_NETNS_RUN "${CMAKE_CURRENT_LIST_DIR}/netns-run.sh" CACHE INTERNAL
    "Runs a command in a private network namespace")

function(corvanta_add_netns_test)
  cmake_parse_arguments(ARG "" "NAME" "COMMAND" ${ARGN})
  if(NOT ARG_NAME OR NOT ARG_COMMAND)
    message(FATAL_ERROR "corvanta_add_netns_test needs NAME and COMMAND")
  endif()
  list(POP_FRONT ARG_COMMAND program)
  if(TARGET ${program})
    set(program "$<TARGET_FILE:${program}>")
  endif()
  add_test(NAME ${ARG_NAME} COMMAND "${CORVANTA_NETNS_RUN}" "${program}" ${ARG_COMMAND})
endfunction()
