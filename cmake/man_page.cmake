# Writes kadrel's man page from the help the program prints: its own, then
# each command's and sub-command's, in the order the help lists them, so
# that the page says what `kadrel help` says and nothing else.
#   cmake -DPROGRAM=kadrel -DVERSION=1.14 -DOUTPUT=kadrel.1 -P man_page.cmake

# The help of `PROGRAM words... --help`, or a failure.
function(help_of words out)
  execute_process(COMMAND ${PROGRAM} ${words} --help OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kadrel ${words} --help failed (${status})")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Help text as it reads on a terminal: troff takes a backslash, and a dot or a
# quote opening a line, as its own.
function(troff_text text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} ".nf\n${text}.fi\n" PARENT_SCOPE)
endfunction()

# The commands a help text lists, as CLI11 prints them: indented names under
# the line "Subcommands:", up to the next blank line.
function(commands_of text out)
  string(REGEX MATCH "\nSubcommands:\n[^\n]+(\n[^\n]+)*" listing "${text}")
  string(REGEX REPLACE "^\nSubcommands:\n" "" listing "${listing}")
  string(REGEX MATCHALL "(^|\n)  [a-z][a-z-]*" names "${listing}")
  set(commands)
  foreach(name IN LISTS names)
    string(STRIP "${name}" name)
    list(APPEND commands ${name})
  endforeach()
  set(${out} ${commands} PARENT_SCOPE)
endfunction()

# The sections of a command and, in turn, of its own commands.
function(command_sections words out)
  help_of("${words}" text)
  troff_text("${text}" body)
  string(REPLACE ";" " " title "kadrel;${words}")
  set(sections ".SS \"${title}\"\n${body}")
  commands_of("${text}" commands)
  foreach(command IN LISTS commands)
    command_sections("${words};${command}" more)
    string(APPEND sections "${more}")
  endforeach()
  set(${out} "${sections}" PARENT_SCOPE)
endfunction()

help_of("" text)
string(REGEX MATCH "^[^\n]*" summary "${text}")
string(REGEX REPLACE "\\.$" "" summary "${summary}")
troff_text("${text}" body)
set(page ".TH KADREL 1 \"\" \"kadrel ${VERSION}\" \"User Commands\"\n.SH NAME\nkadrel \\- ${summary}\n")
string(APPEND page ".SH SYNOPSIS\n.B kadrel\n.I COMMAND\n[\n.I OPTIONS\n]\n.SH DESCRIPTION\n${body}.SH COMMANDS\n")
commands_of("${text}" commands)
foreach(command IN LISTS commands)
  command_sections("${command}" sections)
  string(APPEND page "${sections}")
endforeach()
file(WRITE ${OUTPUT} "${page}")
