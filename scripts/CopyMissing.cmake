# SPDX-License-Identifier: GPL-3.0-or-later
# Copies each shipped data file beside the program unless a file of that name is there
# already: the program keeps the user's own edits in those files.
file(GLOB files "${SOURCE}/*")
foreach(file IN LISTS files)
  get_filename_component(name "${file}" NAME)
  if(NOT EXISTS "${DESTINATION}/${name}")
    file(COPY "${file}" DESTINATION "${DESTINATION}")
  endif()
endforeach()
