# Checks that every file under Lib/ includes only headers of the rooms its
# own room stands on, as the libraries' link dependencies say; nothing
# under Lib/ may include a header of the host (src/) or the tools.
#
#   cmake -DROOT=DIR -P CheckLayers.cmake
#
# Headers are found by file name, as the include paths find them; an
# include that names no header of the tree (the C++ library, Qt, GLib) is
# not the check's business. Fails with one line per wrong include.

if(NOT ROOT)
  message(FATAL_ERROR "CheckLayers: ROOT is not set")
endif()

# The rooms, the most specific path first, and what each may include.
set(rooms
  Lib/VirtualMachine/Opcodes
  Lib/VirtualMachine/Image
  Lib/VirtualMachine/Heap
  Lib/VirtualMachine
  Lib/VirtualMachineExtensions
  Lib/Containers
  Lib/IO
  Lib/Graphics
  src
  tools)
set(uses_Lib/Containers Lib/Containers)
set(uses_Lib/IO Lib/Containers Lib/IO)
set(uses_Lib/Graphics Lib/Containers Lib/IO Lib/Graphics)
set(uses_Lib/VirtualMachine/Opcodes Lib/Containers Lib/VirtualMachine/Opcodes)
set(uses_Lib/VirtualMachine/Image Lib/Containers Lib/IO Lib/VirtualMachine/Image)
set(uses_Lib/VirtualMachine/Heap Lib/Containers Lib/VirtualMachine/Image Lib/VirtualMachine/Heap)
set(uses_Lib/VirtualMachine
  Lib/Containers Lib/IO Lib/Graphics Lib/VirtualMachine/Opcodes Lib/VirtualMachine/Image
  Lib/VirtualMachine/Heap Lib/VirtualMachine)
set(uses_Lib/VirtualMachineExtensions ${uses_Lib/VirtualMachine} Lib/VirtualMachineExtensions)

# roomOf(PATH VAR): the room of a path relative to ROOT, or empty.
function(roomOf path var)
  foreach(room ${rooms})
    string(FIND "${path}" "${room}/" at)
    if(at EQUAL 0)
      set(${var} ${room} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${var} "" PARENT_SCOPE)
endfunction()

# The room of every header, by its file name.
file(GLOB_RECURSE headers RELATIVE ${ROOT} ${ROOT}/Lib/*.h ${ROOT}/src/*.h ${ROOT}/tools/*.h)
foreach(header ${headers})
  get_filename_component(name ${header} NAME)
  roomOf(${header} room)
  set(header_${name} ${room})
endforeach()

set(faults)
file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/Lib/*.h ${ROOT}/Lib/*.cpp)
foreach(source ${sources})
  roomOf(${source} room)
  file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${includes})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" included "${line}")
    get_filename_component(name "${included}" NAME)
    set(target_room "${header_${name}}")
    if(target_room STREQUAL "")
      continue()
    endif()
    list(FIND uses_${room} ${target_room} allowed)
    if(allowed EQUAL -1)
      list(APPEND faults "${source} (${room}) includes ${included} of ${target_room}")
    endif()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Includes across the layers:\n  ${text}")
endif()
