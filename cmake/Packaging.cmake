# Distribution of the Windows build: the help file, the install rules, and CPack with an
# NSIS installer and a zip. Included at the end of the top CMakeLists.txt, after every
# program target exists.
if(NOT WIN32)
    return()
endif()

# --- The help file zHoraluxHelp.chm, compiled by chmcmd (Debian fp-utils) ----------------
find_program(HORALUX_CHMCMD chmcmd REQUIRED)
set(help_source_dir ${PROJECT_SOURCE_DIR}/docs/help)
set(help_build_dir ${CMAKE_BINARY_DIR}/help)
set(HORALUX_HELP_FILE ${help_build_dir}/${HORALUX_HELP_FILE_NAME})
file(GLOB help_sources CONFIGURE_DEPENDS ${help_source_dir}/*.html ${help_source_dir}/*.css
    ${help_source_dir}/*.hhc ${help_source_dir}/*.hhk ${help_source_dir}/*.hhp)

# The pictures of the console's windows, which the project file lists: taken from the real
# console under Wine, in a Wine session of their own (never a test session's prefix), bounded
# by a time-out. Without them the pages are compiled with their pictures missing.
set(help_pictures console-window.png about.png options.png time-servers.png add-new-server.png)
set(help_picture_dir ${help_build_dir}/pictures)
set(help_picture_files "")
if(HORALUX_HELP_PICTURES)
    list(TRANSFORM help_pictures PREPEND ${help_picture_dir}/ OUTPUT_VARIABLE help_picture_files)
    string(REPLACE "/" "\\" help_picture_dir_windows "Z:${help_picture_dir}")
    add_custom_command(
        OUTPUT ${help_picture_files}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${help_picture_dir}
        COMMAND ${CMAKE_COMMAND} -E env --unset=HORALUX_WINE_SESSION HORALUX_WINE_DIR=${help_build_dir}
            timeout 180 ${PROJECT_SOURCE_DIR}/cmake/wine-emulator.sh $<TARGET_FILE:horalux_help_capture>
            ${help_picture_dir_windows}
        DEPENDS horalux_help_capture HoraluxCons
        COMMENT "Taking the help file's pictures of the console under Wine"
        VERBATIM)
endif()

# chmcmd writes beside its project and exits with 0 also when it fails, so the sources are
# compiled in a copy of their own and the result is copied out, which fails when it is missing.
add_custom_command(
    OUTPUT ${HORALUX_HELP_FILE}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${help_build_dir}/src
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${help_source_dir} ${help_build_dir}/src
    COMMAND ${CMAKE_COMMAND} -DPROJECT_FILE=${help_build_dir}/src/zHoraluxHelp.hhp
        -DPICTURE_DIR=${help_picture_dir} -DPICTURES=$<BOOL:${HORALUX_HELP_PICTURES}>
        -P ${PROJECT_SOURCE_DIR}/cmake/HelpPictures.cmake
    COMMAND ${CMAKE_COMMAND} -E chdir ${help_build_dir}/src ${HORALUX_CHMCMD} --verbosity 1 zHoraluxHelp.hhp
    COMMAND ${CMAKE_COMMAND} -E copy ${help_build_dir}/src/zHoraluxHelp.chm ${HORALUX_HELP_FILE}
    DEPENDS ${help_sources} ${help_picture_files} ${PROJECT_SOURCE_DIR}/cmake/HelpPictures.cmake
    COMMENT "Compiling the help file zHoraluxHelp.chm"
    VERBATIM)
add_custom_target(horalux_help ALL DEPENDS ${HORALUX_HELP_FILE})

# --- What is installed --------------------------------------------------------------------
# Everything goes to the install root (Program Files\Horalux). The help file belongs in the
# Windows directory, where the console opens it by its bare name; a CPack package holds only
# paths under its root, so the installer moves it there (below) and the zip carries it
# beside the programs.
set(horalux_programs HoraluxServ)
if(TARGET HoraluxCons)
    list(APPEND horalux_programs HoraluxCons)
endif()
install(TARGETS ${horalux_programs} RUNTIME DESTINATION .)
install(FILES ${HORALUX_HELP_FILE} DESTINATION .)

# --- CPack: NSIS installer and zip -------------------------------------------------------
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME Horalux)
set(CPACK_PACKAGE_VENDOR Horalux)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Horalux Clock Service: keeps the PC clock in step with SNTP time servers")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Horalux)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Horalux)
set(CPACK_PACKAGE_FILE_NAME Horalux-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(horalux_installer ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.exe)
set(horalux_zip ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
# The unit test programs and GoogleTest have no install rules; only the above is packed.

find_program(HORALUX_MAKENSIS makensis REQUIRED)
set(CPACK_NSIS_EXECUTABLE ${HORALUX_MAKENSIS})
# A 64-bit installer: Debian's wine64 runs no 32-bit program, and a 64-bit one sees the
# native Program Files and registry.
# FileFunc.nsh reads the installer's own options (/W32TIME= below).
set(CPACK_NSIS_DEFINES "  Target amd64-unicode\n  !include FileFunc.nsh")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "Horalux Clock Service")
set(CPACK_NSIS_DISPLAY_NAME "Horalux Clock Service")
set(CPACK_NSIS_INSTALLED_ICON_NAME HoraluxServ.exe)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# An older installation is removed silently first (its settings stay), so that the running
# service releases its program file and is registered afresh.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
if(TARGET HoraluxCons)
    set(CPACK_PACKAGE_EXECUTABLES "HoraluxCons;Horalux Clock Service Console")
    set(CPACK_NSIS_MUI_FINISHPAGE_RUN HoraluxCons.exe)
endif()

# Installation: the help file to the Windows directory, then the service installed and
# started with the program's own switches. HoraluxServ.exe has no window. /W32TIME=disable stops
# and disables the Windows Time service before Horalux starts; a value HoraluxServ refuses
# leaves it as it is and makes the installer's exit code 2.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  CopyFiles /SILENT "$INSTDIR\@HORALUX_HELP_FILE_NAME@" "$WINDIR\@HORALUX_HELP_FILE_NAME@"
  Delete "$INSTDIR\@HORALUX_HELP_FILE_NAME@"
  ExecWait '"$INSTDIR\HoraluxServ.exe" -i'
  ${GetOptions} $CMDLINE "/W32TIME=" $0
  StrCmp $0 "" horalux_w32time_done
    ExecWait '"$INSTDIR\HoraluxServ.exe" -w "$0"' $1
    StrCmp $1 "0" horalux_w32time_done
      SetErrorLevel 2
  horalux_w32time_done:
  ExecWait '"$INSTDIR\HoraluxServ.exe" -s'
]=])
# Removal: the service stopped and removed before its files go; the settings, the log and the
# record stay unless the user asks for their removal (never in silent mode). The Windows Time
# service gets back the start type it had before an installation disabled it, except when a new
# installation runs this uninstaller: that runs it in place, not as a copy in the temporary
# folder, and keeps the Windows Time service as it is.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [=[
  StrCmp $EXEDIR $INSTDIR horalux_w32time_kept
    ExecWait '"$INSTDIR\HoraluxServ.exe" -w restore'
  horalux_w32time_kept:
  ExecWait '"$INSTDIR\HoraluxServ.exe" -e'
  ExecWait '"$INSTDIR\HoraluxServ.exe" -u'
  Delete "$WINDIR\@HORALUX_HELP_FILE_NAME@"
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Delete the settings, the log and the record of the last synchronisation as well?$\n$\n$WINDIR\@HORALUX_SETTINGS_FILE@$\n$WINDIR\@HORALUX_LOG_FILE@$\n$WINDIR\@HORALUX_RECORD_FILE@" /SD IDNO IDNO horalux_keep_settings
    Delete "$WINDIR\@HORALUX_SETTINGS_FILE@"
    Delete "$WINDIR\@HORALUX_LOG_FILE@"
    Delete "$WINDIR\@HORALUX_RECORD_FILE@"
  horalux_keep_settings:
]=])
# The file names the programs use (top CMakeLists.txt).
string(CONFIGURE "${CPACK_NSIS_EXTRA_INSTALL_COMMANDS}" CPACK_NSIS_EXTRA_INSTALL_COMMANDS @ONLY)
string(CONFIGURE "${CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS}" CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS @ONLY)

# CPack writes these values into CPackConfig.cmake between quotes without escaping them (and
# reading that file back would expand NSIS's ${...} macros as variables).
foreach(variable CPACK_NSIS_EXTRA_INSTALL_COMMANDS CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS)
    string(REPLACE "\\" "\\\\" ${variable} "${${variable}}")
    string(REPLACE "\"" "\\\"" ${variable} "${${variable}}")
    string(REPLACE "\${" "\\\${" ${variable} "${${variable}}")
endforeach()

include(CPack)

# The build makes both packages. cpack installs the build tree first; its "preinstall" step
# must not build "all" again, which holds the test programs that depend on the packages.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_command(
    OUTPUT ${horalux_installer} ${horalux_zip}
    COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake -G "NSIS;ZIP"
    DEPENDS ${horalux_programs} ${HORALUX_HELP_FILE} ${CMAKE_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Packing the installer and the zip"
    VERBATIM)
add_custom_target(horalux_package ALL DEPENDS ${horalux_installer} ${horalux_zip})
# The help file (and its pictures, taken under Wine) is made once, by its own target: a custom
# command that two unordered targets both need would run twice, at the same time.
add_dependencies(horalux_package horalux_help)
# Where the packages land, for the tests ($<TARGET_PROPERTY:horalux_package,HORALUX_INSTALLER>).
set_target_properties(horalux_package PROPERTIES HORALUX_INSTALLER ${horalux_installer} HORALUX_ZIP ${horalux_zip})

# The Windows Installer package and the administrative template, beside the packages above.
add_subdirectory(packaging)
