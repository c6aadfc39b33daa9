# Fails when a translation does not cover every text the sources show to users.
#
#   cmake -DLUPDATE=<lupdate> -DSOURCE_DIR=<repository> -DFOLDERS=<a,b,...> -DTS_FILES=<x.ts,...>
#         -DWORK_DIR=<scratch folder> -P CheckTranslations.cmake
#
# Each .ts file is brought up to date with the sources in a scratch copy (the checked-in file
# is left alone). A message that is then unfinished (a new text, or one never translated) or
# that the sources no longer have fails the check, with its source text.
string(REPLACE "," ";" folders "${FOLDERS}")
string(REPLACE "," ";" ts_files "${TS_FILES}")
file(MAKE_DIRECTORY ${WORK_DIR})
set(problems "")
foreach(ts IN LISTS ts_files)
    get_filename_component(name ${ts} NAME)
    set(copy ${WORK_DIR}/${name})
    file(COPY_FILE ${ts} ${copy})
    execute_process(COMMAND ${LUPDATE} -silent -I ${SOURCE_DIR} -locations none ${folders} -ts ${copy}
        WORKING_DIRECTORY ${SOURCE_DIR}
        RESULT_VARIABLE result
        ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "lupdate failed on ${name}: ${errors}")
    endif()
    file(READ ${copy} content)
    string(REGEX MATCHALL "<source>[^<]*</source>[ \r\n\t]*<translation type=\"(unfinished|vanished|obsolete)\"" open
        "${content}")
    foreach(entry IN LISTS open)
        string(REGEX REPLACE "<source>([^<]*)</source>.*type=\"([a-z]+)\"" "\\2: \\1" entry "${entry}")
        string(APPEND problems "\n  ${name}: ${entry}")
    endforeach()
endforeach()
if(problems)
    message(FATAL_ERROR "Translations out of step with the sources (update them with the target "
        "condora_update_translations, then translate):${problems}")
endif()
message(STATUS "Every text is translated in: ${TS_FILES}")
