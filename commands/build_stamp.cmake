# The moment of a reproducible build, in the compiler's __DATE__ and __TIME__
# forms: "Mmm dd yyyy" with a blank before a single-digit day, and "hh:mm:ss",
# both in UTC. Both results are empty when SOURCE_DATE_EPOCH is not set, and
# the compiler's own stamp stands.
function(kadrel_build_stamp date_var time_var)
  set(date "")
  set(time "")
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    # string(TIMESTAMP) reads SOURCE_DATE_EPOCH itself.
    string(TIMESTAMP month "%b" UTC)
    string(TIMESTAMP day "%d" UTC)
    string(TIMESTAMP year "%Y" UTC)
    string(TIMESTAMP time "%H:%M:%S" UTC)
    string(REGEX REPLACE "^0" " " day "${day}")
    set(date "${month} ${day} ${year}")
  endif()
  set(${date_var} "${date}" PARENT_SCOPE)
  set(${time_var} "${time}" PARENT_SCOPE)
endfunction()

# Run as a script, for its test: prints the stamp.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  kadrel_build_stamp(date time)
  message("[${date}] [${time}]")
endif()
