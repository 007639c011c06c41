# Copies one seed of a fuzz target into its seed folder: a file as it is, a folder with
# everything below it. Run with cmake -P and -D FROM=, TO=.
if(NOT DEFINED FROM OR NOT DEFINED TO)
  message(FATAL_ERROR "FuzzSeedCopy: FROM and TO must be set")
endif()
if(IS_DIRECTORY "${FROM}")
  file(COPY "${FROM}/" DESTINATION "${TO}")
elseif(EXISTS "${FROM}")
  file(COPY "${FROM}" DESTINATION "${TO}")
else()
  message(FATAL_ERROR "FuzzSeedCopy: no seed ${FROM}")
endif()
