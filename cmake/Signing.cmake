# Authenticode signing of what the Windows build ships: both programs, the setup library, the
# NSIS installer with the uninstaller it writes, and the MSI. osslsigncode signs each with a
# SHA-256 digest and an RFC 3161 time stamp. The key is the user's: a PFX file whose password
# is in an environment variable, or a key on a PKCS#11 token. Without one the build makes a
# throwaway TEST-ONLY authority in the build tree (and osslsigncode's built-in time-stamp
# authority answers with its certificate), so that every build runs the signing path.
# Included from cmake/Packaging.cmake; sets HORALUX_SIGN_SCRIPT (empty when nothing is signed),
# HORALUX_SIGN_DEPENDS (what a signing step needs built first) and HORALUX_SIGN_CA_FILE (the
# root a test verifies against).

option(HORALUX_SIGN "Windows build: sign the programs, the setup library and the packages" ON)
set(HORALUX_SIGN_PFX "" CACHE FILEPATH "PFX (PKCS#12) file with the code-signing key and its certificate chain")
set(HORALUX_SIGN_PASSWORD_ENV HORALUX_SIGN_PASSWORD CACHE STRING
    "Environment variable that holds the PFX file's password or the token's PIN while the build runs")
set(HORALUX_SIGN_PKCS11_MODULE "" CACHE FILEPATH "PKCS#11 module (.so) of the token that holds the key")
set(HORALUX_SIGN_PKCS11_KEY "" CACHE STRING "The key on the token, as a pkcs11: URI")
set(HORALUX_SIGN_PKCS11_ENGINE "" CACHE FILEPATH "OpenSSL's PKCS#11 engine, when osslsigncode does not find its own")
set(HORALUX_SIGN_CERT "" CACHE STRING "With a token: the certificate chain, a PEM file or a pkcs11: URI")
set(HORALUX_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server; needed with a real key")
set(HORALUX_SIGN_CA_FILE "" CACHE FILEPATH
    "The root certificates the signature test verifies against (default: the test authority's root)")
set(HORALUX_SIGN_DESCRIPTION "Horalux Clock Service")

set(HORALUX_SIGN_SCRIPT "")
set(HORALUX_SIGN_DEPENDS "")
if(NOT HORALUX_SIGN)
    return()
endif()

find_program(HORALUX_OSSLSIGNCODE osslsigncode REQUIRED)
set(signing_dir ${CMAKE_BINARY_DIR}/signing)

if(HORALUX_SIGN_PFX AND HORALUX_SIGN_PKCS11_MODULE)
    message(FATAL_ERROR "HORALUX_SIGN_PFX and HORALUX_SIGN_PKCS11_MODULE name two keys: give one")
elseif(HORALUX_SIGN_PFX)
    set(horalux_sign_mode pfx)
    if(NOT EXISTS ${HORALUX_SIGN_PFX})
        message(FATAL_ERROR "HORALUX_SIGN_PFX: no file ${HORALUX_SIGN_PFX}")
    endif()
elseif(HORALUX_SIGN_PKCS11_MODULE)
    set(horalux_sign_mode pkcs11)
    if(NOT HORALUX_SIGN_PKCS11_KEY OR NOT HORALUX_SIGN_CERT)
        message(FATAL_ERROR "A PKCS#11 token needs HORALUX_SIGN_PKCS11_KEY and HORALUX_SIGN_CERT as well")
    endif()
else()
    set(horalux_sign_mode test)
endif()

if(horalux_sign_mode STREQUAL test)
    # osslsigncode answers the time-stamp request itself (-TSA-certs, in 2.9; not in Debian 12's
    # 2.5): no time-stamp server runs for a build.
    execute_process(COMMAND ${HORALUX_OSSLSIGNCODE} sign --help OUTPUT_VARIABLE sign_help ERROR_VARIABLE sign_help)
    if(NOT sign_help MATCHES "-TSA-certs")
        message(FATAL_ERROR "${HORALUX_OSSLSIGNCODE} has no built-in time-stamp authority (-TSA-certs): "
            "install a newer osslsigncode (2.9 has it), give a real key, or configure with -DHORALUX_SIGN=OFF")
    endif()
    set(horalux_test_authority_dir ${signing_dir}/test-only-authority)
    set(test_authority_files ${horalux_test_authority_dir}/root.pem ${horalux_test_authority_dir}/codesign-chain.pem
        ${horalux_test_authority_dir}/codesign.key ${horalux_test_authority_dir}/timestamp-chain.pem
        ${horalux_test_authority_dir}/timestamp.key)
    add_custom_command(
        OUTPUT ${test_authority_files}
        COMMAND ${PROJECT_SOURCE_DIR}/cmake/make-test-authority.sh ${horalux_test_authority_dir}
        DEPENDS ${PROJECT_SOURCE_DIR}/cmake/make-test-authority.sh
        COMMENT "Making the build's TEST-ONLY signing authority (no signing key given)"
        VERBATIM)
    add_custom_target(horalux_test_authority DEPENDS ${test_authority_files})
    set(HORALUX_SIGN_DEPENDS horalux_test_authority)
    if(NOT HORALUX_SIGN_CA_FILE)
        set(HORALUX_SIGN_CA_FILE ${horalux_test_authority_dir}/root.pem)
    endif()
elseif(NOT HORALUX_SIGN_TIMESTAMP_URL)
    message(FATAL_ERROR "Signing with a real key needs HORALUX_SIGN_TIMESTAMP_URL, the RFC 3161 time-stamp server "
        "of the certificate's issuer: a signature without a time stamp dies with the certificate")
endif()

set(HORALUX_SIGN_SCRIPT ${signing_dir}/sign-file.sh)
configure_file(${PROJECT_SOURCE_DIR}/cmake/sign-file.sh.in ${HORALUX_SIGN_SCRIPT}
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE @ONLY)
