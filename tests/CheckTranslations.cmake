# Fails when a text that a person can see has no English: lupdate brings a
# copy of kolvara_en.ts up to date with the code, and no entry of it may be
# left unfinished. Run by CTest with LUPDATE, TS, SOURCES (a file listing
# the sources, one a line) and WORK (a folder of its own).
file(MAKE_DIRECTORY ${WORK})
configure_file(${TS} ${WORK}/kolvara_en.ts COPYONLY)
execute_process(COMMAND ${LUPDATE} -no-obsolete -locations none @${SOURCES} -ts ${WORK}/kolvara_en.ts
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed:\n${output}")
endif()
file(READ ${WORK}/kolvara_en.ts translations)
string(REGEX MATCHALL "<source>[^<]*</source>[^<]*(<comment>[^<]*</comment>[^<]*)?<translation type=\"unfinished\"" missing "${translations}")
list(LENGTH missing count)
if(count GREATER 0)
    string(REGEX REPLACE "[^<]*(<comment>[^<]*</comment>[^<]*)?<translation type=\"unfinished\"" "\n" listed "${missing}")
    message(FATAL_ERROR "${count} text(s) have no English translation; run "
                        "'cmake --build build --target update_translations' and translate them in "
                        "translations/kolvara_en.ts:\n${listed}")
endif()
message(STATUS "translations: every text has its English (1 passed, 0 failed)")
