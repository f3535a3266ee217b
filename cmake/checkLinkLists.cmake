# cmake -DLISTS=FILE -DSOURCE=DIR -P checkLinkLists.cmake
# Holds every link list of the build (written by kesu_write_link_lists) against the includes
# of the target's own files: a library of ours is named only when one of the target's sources,
# or the headers of its library sources, include a header of that library; a system library
# of the table below only when they include its headers. And what they include is linked: by
# the list, or by a library of ours the list names, which brings its own along. Says where
# either does not hold, and fails then.
cmake_minimum_required(VERSION 3.18)

# The headers each system library is known by, as "target=regular expression".
set(systemLibraries
  "OpenGL::GL=^GL/(gl|glext)\\.h$"
  "GLU=^GL/glu\\.h$"
  "OpenGL::EGL=^EGL/"
  "PkgConfig::SDL2=^SDL(_[a-z]+)?\\.h$"
  "PkgConfig::SDL2_IMAGE=^SDL_image\\.h$"
  "PkgConfig::PULSE=^pulse/"
  "PkgConfig::MPG123=^mpg123\\.h$"
  "PkgConfig::SYN123=^syn123\\.h$"
  "PkgConfig::PNG=^png\\.h$"
  "JPEG::JPEG=^(jpeglib|turbojpeg)\\.h$"
  "PkgConfig::EBUR128=^ebur128\\.h$"
  "mp3lame=^lame/lame\\.h$"
  "benchmark::benchmark=^benchmark/")

file(STRINGS ${LISTS} entries)
set(targets "")
foreach(entry ${entries})
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 target)
  list(LENGTH fields count)
  set(sources "")
  set(links "")
  if(count GREATER 2)
    list(GET fields 2 sources)
  endif()
  if(count GREATER 3)
    list(GET fields 3 links)
  endif()
  string(REPLACE "," ";" sources "${sources}")
  string(REPLACE "," ";" links "${links}")
  list(APPEND targets ${target})
  set(sources_${target} "${sources}")
  set(links_${target} "${links}")
endforeach()

# Which of our libraries each source file of ours belongs to.
foreach(target ${targets})
  foreach(source ${sources_${target}})
    file(RELATIVE_PATH relative ${SOURCE} ${source})
    set(owner_${relative} ${target})
  endforeach()
endforeach()

# The library a header of ours belongs to: the one with the source of the same name, or of a
# name that begins with it (monotonicClock.h, monotonicClockPosix.cpp); "" for none.
function(headerOwner header result)
  string(REGEX REPLACE "\\.h$" "" stem "${header}")
  set(found "")
  if(DEFINED owner_${stem}.cpp)
    set(found ${owner_${stem}.cpp})
  else()
    foreach(target ${targets})
      foreach(source ${sources_${target}})
        file(RELATIVE_PATH relative ${SOURCE} ${source})
        if(relative MATCHES "^${stem}[A-Z][A-Za-z]*\\.cpp$" AND NOT found)
          set(found ${target})
        endif()
      endforeach()
    endforeach()
  endif()
  set(${result} "${found}" PARENT_SCOPE)
endfunction()

# What a target's files include, as the libraries of ours and of the system they belong to,
# into ours_<target> and system_<target>. Headers of the target's own and headers of no
# library (a test folder's fixtures) are followed into what they include.
function(collectIncludes target)
  set(files "")
  foreach(source ${sources_${target}})
    list(APPEND files ${source})
    string(REGEX REPLACE "\\.cpp$" ".h" header "${source}")
    if(NOT header STREQUAL source AND EXISTS ${header})
      list(APPEND files ${header})
    endif()
  endforeach()
  set(ours "")
  set(system "")
  set(seen "")
  while(files)
    list(POP_FRONT files file)
    list(FIND seen ${file} done)
    if(done GREATER -1)
      continue()
    endif()
    list(APPEND seen ${file})
    file(STRINGS ${file} lines REGEX "^#include [\"<]")
    foreach(line ${lines})
      string(REGEX REPLACE "^#include [\"<]([^\">]+)[\">].*" "\\1" included "${line}")
      if(EXISTS ${SOURCE}/${included})
        headerOwner(${included} owner)
        if(owner AND NOT owner STREQUAL target)
          list(APPEND ours ${owner})
        else()
          list(APPEND files ${SOURCE}/${included})
        endif()
      else()
        foreach(pair ${systemLibraries})
          string(REGEX REPLACE "=.*" "" library "${pair}")
          string(REGEX REPLACE "^[^=]*=" "" pattern "${pair}")
          if(included MATCHES "${pattern}")
            list(APPEND system ${library})
          endif()
        endforeach()
      endif()
    endforeach()
  endwhile()
  list(REMOVE_DUPLICATES ours)
  list(REMOVE_DUPLICATES system)
  set(ours_${target} "${ours}" PARENT_SCOPE)
  set(system_${target} "${system}" PARENT_SCOPE)
endfunction()

# A link list entry by the name the table and the targets use.
function(linkName link result)
  if(link MATCHES "libGLU|glu32")
    set(link GLU)
  elseif(link MATCHES "libmp3lame")
    set(link mp3lame)
  endif()
  set(${result} ${link} PARENT_SCOPE)
endfunction()

# Everything a target links, through the libraries of ours it names.
function(linkClosure target result)
  set(pending ${links_${target}})
  set(closure "")
  while(pending)
    list(POP_FRONT pending link)
    linkName(${link} link)
    list(FIND closure ${link} done)
    if(done GREATER -1)
      continue()
    endif()
    list(APPEND closure ${link})
    if(DEFINED links_${link})
      list(APPEND pending ${links_${link}})
    endif()
  endwhile()
  set(${result} "${closure}" PARENT_SCOPE)
endfunction()

set(systemNames "")
foreach(pair ${systemLibraries})
  string(REGEX REPLACE "=.*" "" library "${pair}")
  list(APPEND systemNames ${library})
endforeach()

set(problems "")
foreach(target ${targets})
  collectIncludes(${target})
  foreach(link ${links_${target}})
    linkName(${link} link)
    # The test framework, which the test programs' helper names for each.
    if(link STREQUAL "kesu_test_support")
      continue()
    endif()
    list(FIND targets ${link} isOurs)
    list(FIND systemNames ${link} isSystem)
    if(isOurs GREATER -1)
      list(FIND ours_${target} ${link} included)
    elseif(isSystem GREATER -1)
      list(FIND system_${target} ${link} included)
    else()
      continue()
    endif()
    if(included EQUAL -1)
      string(APPEND problems "  ${target} names ${link}, which none of its files includes\n")
    endif()
  endforeach()
  linkClosure(${target} closure)
  foreach(library ${ours_${target}} ${system_${target}})
    list(FIND closure ${library} linked)
    if(linked EQUAL -1)
      string(APPEND problems "  ${target} includes ${library} and links nothing that brings it\n")
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "link lists that do not match what the files include:\n${problems}")
endif()
list(LENGTH targets count)
message(STATUS "the link lists of ${count} libraries and programs name only what their files include")
