# The release key a Linux build trusts: its fingerprint is the signing team the updater accepts.
# A release build names the public key (PEM) in QUILLO_RELEASE_PUBLIC_KEY. Any other build makes
# its own key pair once, in the build folder, so no private key ever sits among the sources.
set(QUILLO_RELEASE_PUBLIC_KEY "" CACHE FILEPATH "PEM file of the public release key this build accepts")
set(QUILLO_RELEASE_KEY_DIR "${CMAKE_BINARY_DIR}/release-key" CACHE INTERNAL "Where a build keeps its own key pair")
find_program(QUILLO_OPENSSL openssl REQUIRED)

function(quillo_run_openssl)
  execute_process(COMMAND "${QUILLO_OPENSSL}" ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "openssl ${ARGN} failed: ${error}")
  endif()
endfunction()

file(MAKE_DIRECTORY "${QUILLO_RELEASE_KEY_DIR}")
file(CHMOD "${QUILLO_RELEASE_KEY_DIR}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
if(QUILLO_RELEASE_PUBLIC_KEY)
  set(quillo_public_key "${QUILLO_RELEASE_PUBLIC_KEY}")
else()
  set(quillo_public_key "${QUILLO_RELEASE_KEY_DIR}/public.pem")
  if(NOT EXISTS "${quillo_public_key}")
    quillo_run_openssl(genpkey -algorithm ed25519 -out "${QUILLO_RELEASE_KEY_DIR}/private.pem")
    file(CHMOD "${QUILLO_RELEASE_KEY_DIR}/private.pem" PERMISSIONS OWNER_READ OWNER_WRITE)
    quillo_run_openssl(pkey -in "${QUILLO_RELEASE_KEY_DIR}/private.pem" -pubout -out "${quillo_public_key}")
  endif()
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${quillo_public_key}")

# The fingerprint: SHA-256 of the key's DER form, as the updater computes it from a signature.
quillo_run_openssl(pkey -pubin -in "${quillo_public_key}" -outform DER -out "${QUILLO_RELEASE_KEY_DIR}/pinned.der")
file(SIZE "${QUILLO_RELEASE_KEY_DIR}/pinned.der" quillo_key_size)
if(NOT quillo_key_size EQUAL 44)
  message(FATAL_ERROR "${quillo_public_key} is not an Ed25519 public key")
endif()
file(SHA256 "${QUILLO_RELEASE_KEY_DIR}/pinned.der" QUILLO_RELEASE_KEY_FINGERPRINT)
