# SPDX-License-Identifier: GPL-3.0-or-later
# What Debian's layout asks of the packages' documents, compressed as "gzip -9n" does (no
# name or time inside, so the bytes do not depend on the build): the changelog, made from
# NEWS (each "Tamberlon VERSION (DATE)" entry a changelog entry with its items as they
# stand), and the manual pages. Run with -DNEWS=... -DMANUALS=a.1,b.1 -DFOLDER=...
# -DMAINTAINER="Name <address>".
file(STRINGS "${NEWS}" lines)
set(changelog "")
set(entry_date "")
macro(close_entry)
  if(entry_date)
    execute_process(COMMAND date -u -R -d "${entry_date} 00:00:00"
                    OUTPUT_VARIABLE stamp OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(APPEND changelog "\n -- ${MAINTAINER}  ${stamp}\n\n")
  endif()
endmacro()
foreach(line IN LISTS lines)
  if(line MATCHES "^Tamberlon ([^ ]+) \\(([0-9-]+)\\)$")
    close_entry()
    set(entry_date "${CMAKE_MATCH_2}")
    string(APPEND changelog "tamberlon (${CMAKE_MATCH_1}) unstable; urgency=medium\n\n")
  elseif(line MATCHES "^  ")
    string(APPEND changelog "${line}\n")
  endif()
endforeach()
close_entry()
string(REGEX REPLACE "\n\n$" "\n" changelog "${changelog}")
file(WRITE "${FOLDER}/changelog" "${changelog}")

function(compress source target)
  execute_process(COMMAND gzip -9nc "${source}" OUTPUT_FILE "${target}" COMMAND_ERROR_IS_FATAL ANY)
endfunction()
compress("${FOLDER}/changelog" "${FOLDER}/changelog.gz")
string(REPLACE "," ";" manuals "${MANUALS}")
foreach(manual IN LISTS manuals)
  get_filename_component(name "${manual}" NAME)
  compress("${manual}" "${FOLDER}/${name}.gz")
endforeach()
