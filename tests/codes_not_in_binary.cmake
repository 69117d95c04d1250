# Fails when an access code can be read from a program file as text, the way `strings` shows it:
# the program keeps the codes as digests only.
#   cmake -DBINARIES="<file>;<file>" -P codes_not_in_binary.cmake
if(NOT BINARIES)
    message(FATAL_ERROR "no file to check")
endif()
find_program(STRINGS_PROGRAM strings)
if(NOT STRINGS_PROGRAM)
    message(FATAL_ERROR "strings (binutils) is needed for this check")
endif()

set(codes 61730428 9073 vadrik pilgrom tumen)
foreach(binary IN LISTS BINARIES)
    if(NOT EXISTS "${binary}")
        message(FATAL_ERROR "${binary} does not exist")
    endif()
    # 7-bit and 8-bit texts (C literals, UTF-8), and UTF-16 in both byte orders (Qt keeps its
    # string literals so).
    foreach(encoding s S l b)
        execute_process(COMMAND ${STRINGS_PROGRAM} -a -n 4 -e ${encoding} ${binary}
            OUTPUT_VARIABLE text RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "strings failed on ${binary}")
        endif()
        foreach(code IN LISTS codes)
            # Anywhere, also inside a longer text, as a search through the output would find it.
            string(FIND "${text}" "${code}" at)
            if(NOT at EQUAL -1)
                message(FATAL_ERROR
                    "the access code ${code} can be read in ${binary} (strings -e ${encoding})")
            endif()
        endforeach()
    endforeach()
    message(STATUS "${binary}: no access code readable")
endforeach()
