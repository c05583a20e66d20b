# Builds the Windows Installer package with wixl so that the same inputs give the same bytes
# (cmake -P; packaging/CMakeLists.txt passes the variables below). wixl stamps the summary
# with the time it runs and a random package code, and honours no SOURCE_DATE_EPOCH: it runs
# under faketime at the packages' date, and msibuild then sets the package code to a UUID
# named by the package's inputs, so that a package of other inputs has another code, as
# Windows Installer requires.
#   WIXL MSIBUILD FAKETIME  the tools
#   OUTPUT WXS EPOCH        the package, its source and the date of the shipped files
#   UPGRADE_CODE            the product's upgrade code, the namespace of the package codes
#   SUBJECT AUTHOR          the summary fields msibuild writes again with the code
#   DEFINES                 wixl's -D values, NAME=VALUE separated by '|'
#   FILES                   the files packed, relative to the working folder, separated by '|'
foreach(name WIXL MSIBUILD FAKETIME OUTPUT WXS EPOCH UPGRADE_CODE SUBJECT AUTHOR DEFINES FILES)
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "BuildMsi.cmake: ${name} is not given")
    endif()
endforeach()
string(REPLACE "|" ";" defines "${DEFINES}")
string(REPLACE "|" ";" files "${FILES}")

set(inputs "${defines}")
foreach(file ${WXS} ${files})
    file(SHA256 ${file} digest)
    string(APPEND inputs ";${digest}")
endforeach()
string(UUID package_code NAMESPACE ${UPGRADE_CODE} NAME "${inputs}" TYPE SHA1 UPPER)

set(wixl_defines "")
foreach(define ${defines})
    list(APPEND wixl_defines -D ${define})
endforeach()

# Frozen at the packages' date, in UTC, which the cabinet's file times are read in too; file
# times stay real (NO_FAKE_STAT), they are the shipped files' own.
execute_process(COMMAND date -u -d @${EPOCH} "+%Y-%m-%d %H:%M:%S" OUTPUT_VARIABLE date
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(frozen ${CMAKE_COMMAND} -E env TZ=UTC NO_FAKE_STAT=1 ${FAKETIME} -f "${date}")

file(REMOVE ${OUTPUT})
execute_process(COMMAND ${frozen} ${WIXL} -a x64 -o ${OUTPUT} ${wixl_defines} ${WXS} COMMAND_ERROR_IS_FATAL ANY)
# The template is the platform and the language, as wixl wrote them (-a x64, Language 1033).
execute_process(COMMAND ${frozen} ${MSIBUILD} ${OUTPUT} -s ${SUBJECT} ${AUTHOR} "x64;1033" "{${package_code}}"
    COMMAND_ERROR_IS_FATAL ANY)
