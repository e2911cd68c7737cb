# Writes the manual page of tarikon-sensor-sim from its own --help, so the page lists exactly
# the options the built simulator takes. Run at build time:
#   cmake -DSIM=<simulator> -DOUT=<page> -DVERSION=<version> -DDATE=<yyyy-mm-dd> -P simman.cmake
# The usage line becomes the synopsis, the paragraphs before "Options:" the description, and
# each option (name column, then its description, wrapped onto further lines) a tagged
# paragraph.
cmake_minimum_required(VERSION 3.16)

# A sanitizer build runs the same step; a leak report at exit must not fail the build.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")
execute_process(COMMAND "${SIM}" --help
  OUTPUT_VARIABLE help RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${SIM} --help failed (${result}): ${errors}")
endif()

# Text for roff: backslashes doubled, options' hyphens as minus signs, the degree sign named.
function(roff_text text out)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REGEX REPLACE "(^|[ (\"])--([a-z])" "\\1\\\\-\\\\-\\2" text "${text}")
  string(REGEX REPLACE "(^|[ (\"])-([a-z0-9])" "\\1\\\\-\\2" text "${text}")
  string(REPLACE "°" "\\(de" text "${text}")
  # A line must not start with a control character.
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# One list entry per line; semicolons in the text stand aside meanwhile as a control character.
string(ASCII 1 semicolon)
string(REPLACE ";" "${semicolon}" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

set(page ".TH TARIKON\\-SENSOR\\-SIM 1 \"${DATE}\" \"Tarikon ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n")
string(APPEND page "tarikon\\-sensor\\-sim \\- fuel-level sensors on a pseudo-terminal, for the bench\n")
string(APPEND page ".SH SYNOPSIS\n.B tarikon\\-sensor\\-sim\n.RI [ options ]\n")
string(APPEND page ".SH DESCRIPTION\n")

set(section description)
set(paragraph "")
set(option "")
set(optionText "")
macro(flush_option)
  if(NOT option STREQUAL "")
    # "--name <value>" or "-h, --help": names bold, the value italic.
    string(REGEX REPLACE "<([^>]+)>" "\\\\fI\\1\\\\fR" tag "${option}")
    string(REGEX REPLACE "(^|, )(--?[a-z0-9-]+)" "\\1\\\\fB\\2\\\\fR" tag "${tag}")
    string(REPLACE "-" "\\-" tag "${tag}")
    roff_text("${optionText}" body)
    string(APPEND page ".TP\n${tag}\n${body}\n")
    set(option "")
    set(optionText "")
  endif()
endmacro()

foreach(line IN LISTS lines)
  if(line MATCHES "^Usage: ")
    continue()
  endif()
  if(section STREQUAL "description")
    if(line STREQUAL "Options:")
      set(section options)
      string(APPEND page ".SH OPTIONS\n")
    elseif(line STREQUAL "")
      if(NOT paragraph STREQUAL "")
        roff_text("${paragraph}" text)
        string(APPEND page ".PP\n${text}\n")
        set(paragraph "")
      endif()
    else()
      string(STRIP "${paragraph} ${line}" paragraph)
    endif()
  elseif(line MATCHES "^  (-[^ ]+( [^ ]+)*)  +(.*)$")
    set(name "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_3}")
    flush_option() # its regular expressions overwrite CMAKE_MATCH_<n>
    set(option "${name}")
    set(optionText "${text}")
  elseif(line MATCHES "^     +(.*)$")
    string(APPEND optionText " ${CMAKE_MATCH_1}")
  elseif(NOT line STREQUAL "")
    message(FATAL_ERROR "${SIM} --help: a line not understood: ${line}")
  endif()
endforeach()
flush_option()
if(NOT section STREQUAL "options")
  message(FATAL_ERROR "${SIM} --help lists no options")
endif()

string(APPEND page ".SH EXIT STATUS\n0 after a clean exit on SIGINT, SIGTERM or SIGHUP, and after \\-\\-help, \\-\\-version and \\-\\-describe\; 1 when the pseudo-terminal or the link cannot be made\; 2 for options not understood.\n")
string(APPEND page ".SH SEE ALSO\n.BR tarikon (1)\n")
string(REPLACE "${semicolon}" ";" page "${page}")
file(WRITE "${OUT}" "${page}")
