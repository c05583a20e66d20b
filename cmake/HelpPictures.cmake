# Run by the help file's build (cmake -P) in the copy of the help sources: puts the pictures
# beside the pages, or, when the build takes none, drops them from the project file, since
# chmcmd gives up on a listed file that is missing.
#   PROJECT_FILE  the copied zHoraluxHelp.hhp
#   PICTURE_DIR   where the pictures were taken
#   PICTURES      1 when the build takes them
get_filename_component(staging ${PROJECT_FILE} DIRECTORY)
if(PICTURES)
    file(GLOB pictures ${PICTURE_DIR}/*.png)
    file(COPY ${pictures} DESTINATION ${staging})
else()
    file(STRINGS ${PROJECT_FILE} lines)
    list(FILTER lines EXCLUDE REGEX "\\.png$")
    list(JOIN lines "\n" text)
    file(WRITE ${PROJECT_FILE} "${text}\n")
endif()
