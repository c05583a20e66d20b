# Distribution of the Windows build: the help file, the shipped files (stripped, dated and
# signed), the install rules, CPack with an NSIS installer, and a zip. Included at the end of
# the top CMakeLists.txt, after every program target exists.
if(NOT WIN32)
    return()
endif()

# Every shipped file carries one date, so that two builds of one commit pack the same bytes:
# SOURCE_DATE_EPOCH when the environment gives it, else the time of the commit built.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(HORALUX_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
    execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
        OUTPUT_VARIABLE HORALUX_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT HORALUX_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "No date for the packages: set SOURCE_DATE_EPOCH (seconds since 1970) or build from a git clone")
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
set(help_pictures console-window.png about.png history.png options.png time-servers.png add-new-server.png)
set(help_picture_dir ${help_build_dir}/pictures)
set(help_picture_files "")
if(HORALUX_HELP_PICTURES)
    list(TRANSFORM help_pictures PREPEND ${help_picture_dir}/ OUTPUT_VARIABLE help_picture_files)
    string(REPLACE "/" "\\" help_picture_dir_windows "Z:${help_picture_dir}")
    add_custom_command(
        OUTPUT ${help_picture_files}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${help_picture_dir}
        COMMAND ${CMAKE_COMMAND} -E env --unset=HORALUX_WINE_SESSION HORALUX_WINE_DIR=${help_build_dir}
            timeout 420 ${PROJECT_SOURCE_DIR}/cmake/wine-emulator.sh $<TARGET_FILE:horalux_help_capture>
            ${help_picture_dir_windows}
        DEPENDS horalux_help_capture HoraluxCons
        COMMENT "Taking the help file's pictures of the console under Wine"
        VERBATIM)
endif()

# chmcmd writes beside its project and exits with 0 also when it fails, so the sources are
# compiled in a copy of their own and the result is copied out, which fails when it is missing.
# Reproducible: the project asks for no binary index (chmcmd fills a record of it with bytes it
# never set; the index tab reads zHoraluxHelp.hhk instead), and the time of day chmcmd stamps
# is replaced by the packages' date.
add_custom_command(
    OUTPUT ${HORALUX_HELP_FILE}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${help_build_dir}/src
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${help_source_dir} ${help_build_dir}/src
    COMMAND ${CMAKE_COMMAND} -DPROJECT_FILE=${help_build_dir}/src/zHoraluxHelp.hhp
        -DPICTURE_DIR=${help_picture_dir} -DPICTURES=$<BOOL:${HORALUX_HELP_PICTURES}>
        -P ${PROJECT_SOURCE_DIR}/cmake/HelpPictures.cmake
    COMMAND ${CMAKE_COMMAND} -E chdir ${help_build_dir}/src ${HORALUX_CHMCMD} --verbosity 1 zHoraluxHelp.hhp
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/normalise-chm.sh ${help_build_dir}/src/zHoraluxHelp.chm
        ${HORALUX_SOURCE_DATE_EPOCH}
    COMMAND ${CMAKE_COMMAND} -E copy ${help_build_dir}/src/zHoraluxHelp.chm ${HORALUX_HELP_FILE}
    DEPENDS ${help_sources} ${help_picture_files} ${PROJECT_SOURCE_DIR}/cmake/HelpPictures.cmake
        ${PROJECT_SOURCE_DIR}/cmake/normalise-chm.sh
    COMMENT "Compiling the help file zHoraluxHelp.chm"
    VERBATIM)
add_custom_target(horalux_help ALL DEPENDS ${HORALUX_HELP_FILE})

# --- What ships: stripped, dated, signed ------------------------------------------------------
include(${CMAKE_CURRENT_LIST_DIR}/Signing.cmake)

# ship/unsigned holds the programs and the setup library stripped, the bytes a rebuild of the
# commit reproduces; ship/ holds them signed (the same bytes when HORALUX_SIGN is off), and
# the help file, all dated HORALUX_SOURCE_DATE_EPOCH. The packages are made from ship/. A
# stamp file stands for each: the dated file itself is older than what it is made from.
set(HORALUX_SHIP_DIR ${CMAKE_BINARY_DIR}/ship)
set(horalux_ship_stamps "")
# horalux_ship(NAME SOURCE PROGRAM): PROGRAM ON strips and signs it, OFF ships it as it is.
function(horalux_ship name source program)
    set(unsigned ${HORALUX_SHIP_DIR}/unsigned/${name})
    set(shipped ${HORALUX_SHIP_DIR}/${name})
    if(program)
        # strip writes a new PE time stamp: the packages' date, not the time it runs at.
        set(make_unsigned COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${HORALUX_SOURCE_DATE_EPOCH}
            ${CMAKE_STRIP} -o ${unsigned} ${source})
    else()
        set(make_unsigned COMMAND ${CMAKE_COMMAND} -E copy ${source} ${unsigned})
    endif()
    set(sign_command "")
    if(program AND HORALUX_SIGN_SCRIPT)
        set(sign_command COMMAND ${HORALUX_SIGN_SCRIPT} ${shipped})
    endif()
    add_custom_command(
        OUTPUT ${HORALUX_SHIP_DIR}/${name}.stamp
        BYPRODUCTS ${unsigned} ${shipped}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${HORALUX_SHIP_DIR}/unsigned
        ${make_unsigned}
        COMMAND touch -d @${HORALUX_SOURCE_DATE_EPOCH} ${unsigned}
        COMMAND ${CMAKE_COMMAND} -E copy ${unsigned} ${shipped}
        ${sign_command}
        COMMAND touch -d @${HORALUX_SOURCE_DATE_EPOCH} ${shipped}
        COMMAND ${CMAKE_COMMAND} -E touch ${HORALUX_SHIP_DIR}/${name}.stamp
        DEPENDS ${source} ${HORALUX_SIGN_DEPENDS} ${HORALUX_SIGN_SCRIPT}
        COMMENT "Preparing ${name} for shipping"
        VERBATIM)
    set(horalux_ship_stamps ${horalux_ship_stamps} ${HORALUX_SHIP_DIR}/${name}.stamp PARENT_SCOPE)
endfunction()
horalux_ship(HoraluxServ.exe $<TARGET_FILE:HoraluxServ> ON)
horalux_ship(HoraluxCons.exe $<TARGET_FILE:HoraluxCons> ON)
horalux_ship(HoraluxSetup.dll $<TARGET_FILE:HoraluxSetup> ON)
horalux_ship(zHoraluxHelp.chm ${HORALUX_HELP_FILE} OFF)
add_custom_target(horalux_ship DEPENDS ${horalux_ship_stamps})
add_dependencies(horalux_ship horalux_help)
if(HORALUX_SIGN_DEPENDS)
    add_dependencies(horalux_ship ${HORALUX_SIGN_DEPENDS})
endif()

# Everything goes to the install root (Program Files\Horalux). The help file belongs in the
# Windows directory, where the console opens it by its bare name; a CPack package holds only
# paths under its root, so the installer moves it there (below) and the zip carries it
# beside the programs.
install(PROGRAMS ${HORALUX_SHIP_DIR}/HoraluxServ.exe ${HORALUX_SHIP_DIR}/HoraluxCons.exe DESTINATION .)
install(FILES ${HORALUX_SHIP_DIR}/zHoraluxHelp.chm DESTINATION .)

# --- CPack: the NSIS installer -------------------------------------------------------
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Horalux)
set(CPACK_PACKAGE_VENDOR Horalux)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Horalux Clock Service: keeps the PC clock in step with SNTP time servers")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Horalux)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Horalux)
# include(CPack) changes CPACK_PACKAGE_FILE_NAME for its source packages: the zip uses its own.
set(horalux_package_name Horalux-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_FILE_NAME ${horalux_package_name})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(horalux_installer ${CPACK_PACKAGE_DIRECTORY}/${horalux_package_name}.exe)
set(horalux_zip ${CPACK_PACKAGE_DIRECTORY}/${horalux_package_name}.zip)
# Stripped before they were signed; a strip now would break the signatures.
set(CPACK_STRIP_FILES OFF)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
# The unit test programs and GoogleTest have no install rules; only the above is packed.

find_program(HORALUX_MAKENSIS makensis REQUIRED)
set(CPACK_NSIS_EXECUTABLE ${HORALUX_MAKENSIS})
# A 64-bit installer: Debian's wine64 runs no 32-bit program, and a 64-bit one sees the
# native Program Files and registry.
set(CPACK_NSIS_DEFINES "  Target amd64-unicode")
# FileFunc.nsh reads the installer's own options (/W32TIME= below).
string(APPEND CPACK_NSIS_DEFINES "
  !include FileFunc.nsh")
# The installer's version resource, from the one version source.
string(APPEND CPACK_NSIS_DEFINES "
  VIProductVersion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0
  VIFileVersion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0
  VIAddVersionKey /LANG=1033 CompanyName \"${HORALUX_COMPANY}\"
  VIAddVersionKey /LANG=1033 FileDescription \"${HORALUX_PRODUCT_NAME} Setup\"
  VIAddVersionKey /LANG=1033 FileVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=1033 LegalCopyright \"${HORALUX_COPYRIGHT}\"
  VIAddVersionKey /LANG=1033 ProductName \"${HORALUX_PRODUCT_NAME}\"
  VIAddVersionKey /LANG=1033 ProductVersion ${PROJECT_VERSION}")
# No file dates in the installer: makensis would store each packed file's, and CPack writes one
# of them (NSIS.InstallOptions.ini) anew on every run. Installed files take the installation's time.
string(APPEND CPACK_NSIS_DEFINES "
  SetDateSave off")
# Signed as makensis makes it: the uninstaller, which the installer carries and writes at
# installation, before it is packed (NSIS 3.08), then the installer itself.
if(HORALUX_SIGN_SCRIPT)
    string(APPEND CPACK_NSIS_DEFINES "
  !uninstfinalize '\"${HORALUX_SIGN_SCRIPT}\" \"%1\"' = 0
  !finalize '\"${HORALUX_SIGN_SCRIPT}\" \"%1\"' = 0")
endif()
# Sharp at any scale: the installer's own pages are drawn at the monitor's DPI.
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "Horalux Clock Service")
set(CPACK_NSIS_DISPLAY_NAME "Horalux Clock Service")
set(CPACK_NSIS_INSTALLED_ICON_NAME HoraluxServ.exe)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# An older installation is removed silently first (its settings stay), so that the running
# service releases its program file and is registered afresh.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_PACKAGE_EXECUTABLES "HoraluxCons;Horalux Clock Service Console")
set(CPACK_NSIS_MUI_FINISHPAGE_RUN HoraluxCons.exe)

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
# Removal: the service stopped and removed before its files go; the settings, the log, the
# record and the clock's learned frequency stay unless the user asks for their removal (never in
# silent mode); a damaged settings file kept beside the settings goes with them.
# The Windows Time service gets back the start type it had before an installation disabled it,
# except when a new installation runs this uninstaller: that runs it in place, not as a copy in
# the temporary folder, and keeps the Windows Time service as it is.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [=[
  StrCmp $EXEDIR $INSTDIR horalux_w32time_kept
    ExecWait '"$INSTDIR\HoraluxServ.exe" -w restore'
  horalux_w32time_kept:
  ExecWait '"$INSTDIR\HoraluxServ.exe" -e'
  ExecWait '"$INSTDIR\HoraluxServ.exe" -u'
  Delete "$WINDIR\@HORALUX_HELP_FILE_NAME@"
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Delete the settings, the log, the record of the last synchronisation, the learned frequency of the clock and the history as well?$\n$\n$WINDIR\@HORALUX_SETTINGS_FILE@$\n$WINDIR\@HORALUX_LOG_FILE@$\n$WINDIR\@HORALUX_RECORD_FILE@$\n$WINDIR\@HORALUX_DRIFT_FILE@$\n$WINDIR\@HORALUX_HISTORY_FILE@" /SD IDNO IDNO horalux_keep_settings
    Delete "$WINDIR\@HORALUX_SETTINGS_FILE@"
    Delete "$WINDIR\@HORALUX_DAMAGED_SETTINGS_FILE@"
    Delete "$WINDIR\@HORALUX_LOG_FILE@"
    Delete "$WINDIR\@HORALUX_RECORD_FILE@"
    Delete "$WINDIR\@HORALUX_DRIFT_FILE@"
    Delete "$WINDIR\@HORALUX_HISTORY_FILE@"
  horalux_keep_settings:
]=])
# The file names the programs use (top CMakeLists.txt).
string(CONFIGURE "${CPACK_NSIS_EXTRA_INSTALL_COMMANDS}" CPACK_NSIS_EXTRA_INSTALL_COMMANDS @ONLY)
string(CONFIGURE "${CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS}" CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS @ONLY)

# CPack writes these values into CPackConfig.cmake between quotes without escaping them (and
# reading that file back would expand NSIS's ${...} macros as variables).
foreach(variable CPACK_NSIS_DEFINES CPACK_NSIS_EXTRA_INSTALL_COMMANDS CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS)
    string(REPLACE "\\" "\\\\" ${variable} "${${variable}}")
    string(REPLACE "\"" "\\\"" ${variable} "${${variable}}")
    string(REPLACE "\${" "\\\${" ${variable} "${${variable}}")
endforeach()

include(CPack)

# The build makes the installer. cpack installs the build tree first; its "preinstall" step
# must not build "all" again, which holds the test programs that depend on the packages.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_command(
    OUTPUT ${horalux_installer}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${HORALUX_SOURCE_DATE_EPOCH}
        ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake -G NSIS
    DEPENDS ${horalux_ship_stamps} ${CMAKE_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Packing the installer"
    VERBATIM)

# The zip, made here rather than by CPack, whose archives carry the builder's user and group
# and the members in the order the file system lists them: Info-ZIP with no extra fields (-X),
# no folder entries (-D), the members in a fixed order, with fixed modes and the shipped date.
find_program(HORALUX_ZIP_PROGRAM zip REQUIRED)
set(zip_root ${HORALUX_SHIP_DIR}/zip)
set(zip_members HoraluxServ.exe HoraluxCons.exe zHoraluxHelp.chm)
list(TRANSFORM zip_members PREPEND ${HORALUX_SHIP_DIR}/ OUTPUT_VARIABLE zip_sources)
list(TRANSFORM zip_members PREPEND ${horalux_package_name}/ OUTPUT_VARIABLE zip_entries)
add_custom_command(
    OUTPUT ${horalux_zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_root} ${horalux_zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_root}/${horalux_package_name} ${CPACK_PACKAGE_DIRECTORY}
    COMMAND ${CMAKE_COMMAND} -E copy ${zip_sources} ${zip_root}/${horalux_package_name}
    COMMAND ${CMAKE_COMMAND} -E chdir ${zip_root} chmod 755 ${horalux_package_name}/HoraluxServ.exe
        ${horalux_package_name}/HoraluxCons.exe
    COMMAND ${CMAKE_COMMAND} -E chdir ${zip_root} chmod 644 ${horalux_package_name}/zHoraluxHelp.chm
    COMMAND ${CMAKE_COMMAND} -E chdir ${zip_root} touch -d @${HORALUX_SOURCE_DATE_EPOCH} ${zip_entries}
    COMMAND ${CMAKE_COMMAND} -E chdir ${zip_root} ${CMAKE_COMMAND} -E env TZ=UTC
        ${HORALUX_ZIP_PROGRAM} -q -X -D ${horalux_zip} ${zip_entries}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_root}
    DEPENDS ${horalux_ship_stamps}
    COMMENT "Packing the zip"
    VERBATIM)
add_custom_target(horalux_package ALL DEPENDS ${horalux_installer} ${horalux_zip})
# The shipped files (and the help file's pictures, taken under Wine) are made once, by their own
# target: a custom command that two unordered targets both need would run twice, at the same time.
add_dependencies(horalux_package horalux_ship)
# Where the packages land, for the tests ($<TARGET_PROPERTY:horalux_package,HORALUX_INSTALLER>).
set_target_properties(horalux_package PROPERTIES HORALUX_INSTALLER ${horalux_installer} HORALUX_ZIP ${horalux_zip})

# The Windows Installer package and the administrative template, beside the packages above.
add_subdirectory(packaging)

# --- The signatures of what ships ---------------------------------------------------------
# Checked natively with osslsigncode against the authority that signed them; the end-to-end
# installer test checks what the installer writes (the uninstaller above all) the same way.
if(HORALUX_SIGN_SCRIPT)
    set(signature_check ${PROJECT_SOURCE_DIR}/tests/signing/verify-signatures.sh ${HORALUX_OSSLSIGNCODE}
        ${HORALUX_SIGN_CA_FILE})
    add_test(NAME horalux_signatures
        COMMAND ${signature_check} ${HORALUX_SHIP_DIR}/HoraluxServ.exe ${HORALUX_SHIP_DIR}/HoraluxCons.exe
            ${HORALUX_SHIP_DIR}/HoraluxSetup.dll ${horalux_installer} ${horalux_zip}
            $<TARGET_PROPERTY:horalux_msi,HORALUX_MSI>)
    set_tests_properties(horalux_signatures PROPERTIES LABELS signing)
    list(JOIN signature_check "' '" signature_check_text)
    target_compile_definitions(horalux_e2e_tests PRIVATE HORALUX_SIGNATURE_CHECK="'${signature_check_text}'")
else()
    target_compile_definitions(horalux_e2e_tests PRIVATE HORALUX_SIGNATURE_CHECK="")
endif()
# The version resource test reads the shipped files.
target_compile_definitions(horalux_e2e_tests PRIVATE HORALUX_SHIP_DIR="${HORALUX_SHIP_DIR}")
