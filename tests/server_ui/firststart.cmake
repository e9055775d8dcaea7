# Starts the program in an empty data folder the way the build's smoke test does (offscreen, the
# first start's settings dialog confirmed as shown, two seconds of running) and checks that the
# confirmed dialog left a whole Server.Dat with the first-start values at their offsets.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{ZELKOR_SMOKE_TEST} 1)
execute_process(COMMAND "${SERVER}" WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE result
    TIMEOUT 120)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "zelkor-server ended with ${result}")
endif()
set(config "${WORK_DIR}/Server.Dat")
if(NOT EXISTS "${config}")
    message(FATAL_ERROR "the first start wrote no Server.Dat")
endif()
file(SIZE "${config}" size)
if(NOT size EQUAL 944)
    message(FATAL_ERROR "Server.Dat holds ${size} bytes instead of 944")
endif()
# QueTime 5 at offset 0, the port "5612" as a short string at offset 211.
file(READ "${config}" queTime LIMIT 4 HEX)
file(READ "${config}" port OFFSET 211 LIMIT 5 HEX)
if(NOT queTime STREQUAL "05000000" OR NOT port STREQUAL "0435363132")
    message(FATAL_ERROR "unexpected Server.Dat fields: QueTime ${queTime}, Port ${port}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
