# Stops the configure step unless the cache value `name` is empty or exactly
# 32 bytes in base64: 43 characters and one "=", the last character carrying
# no bits beyond the 256th.
function(korvex_check_public_key name)
  set(key "${${name}}")
  if(key STREQUAL "")
    return()
  endif()
  string(LENGTH "${key}" length)
  if(NOT length EQUAL 44 OR NOT key MATCHES "^[A-Za-z0-9+/]*[AEIMQUYcgkosw048]=$")
    message(FATAL_ERROR "${name} must be an Ed25519 public key of 32 bytes "
      "in base64 (44 characters ending in \"=\", as tools/sign-update prints it), not '${key}'")
  endif()
endfunction()
