# The product's libraries come in two chains. The plain chain is what the programs link. Where the
# file layer's fault seams are built (ZELCONV_TEST_SEAMS), a second chain of the same libraries,
# each named with "_seamed", sits on the seamed file layer, and the tests link only that one. So no
# program of any build, whatever its options, holds a seam.
#
# Only the file layer (src/platform) is compiled twice. Every library above it is compiled once, as
# an object library "<name>_objects", and archived into both chains.

# zel_add_library(<name> SOURCES <files>... [BELOW <libraries of the product>...] [PUBLIC <other
#                 libraries>...])
# Adds <name> (plain chain) and, with the seams, <name>_seamed, from the same objects. BELOW names
# the plain libraries of the product that it builds on; each chain links its own of them. PUBLIC
# names libraries from outside the product (Qt, system libraries), linked by both chains.
function(zel_add_library name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;BELOW;PUBLIC")
  add_library(${name}_objects OBJECT ${ARG_SOURCES})
  # The libraries below give their include folders and definitions; objects link nothing.
  target_link_libraries(${name}_objects PUBLIC ${ARG_BELOW} ${ARG_PUBLIC})
  set(seamed_below "")
  foreach(below IN LISTS ARG_BELOW)
    list(APPEND seamed_below ${below}_seamed)
  endforeach()
  set(chains ${name})
  if(ZELCONV_TEST_SEAMS)
    list(APPEND chains ${name}_seamed)
  endif()
  foreach(library IN LISTS chains)
    add_library(${library} STATIC $<TARGET_OBJECTS:${name}_objects>)
    if(library STREQUAL name)
      target_link_libraries(${library} PUBLIC ${ARG_BELOW} ${ARG_PUBLIC})
    else()
      target_link_libraries(${library} PUBLIC ${seamed_below} ${ARG_PUBLIC})
    endif()
    # What the objects' own include folders and definitions are, also when set after this call.
    target_include_directories(${library} PUBLIC $<TARGET_PROPERTY:${name}_objects,INTERFACE_INCLUDE_DIRECTORIES>)
    target_compile_definitions(${library} PUBLIC $<TARGET_PROPERTY:${name}_objects,INTERFACE_COMPILE_DEFINITIONS>)
  endforeach()
endfunction()

# Fails the configuration when a program of the build would link both the plain and the seamed
# file layer, or when a program that is installed would link the seamed one.
function(zel_check_chains)
  set(folders ${PROJECT_SOURCE_DIR})
  set(programs "")
  while(folders)
    list(POP_FRONT folders folder)
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "EXECUTABLE")
        list(APPEND programs ${target})
      endif()
    endforeach()
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${subfolders})
  endwhile()
  foreach(program IN LISTS programs)
    set(pending ${program})
    set(seen "")
    while(pending)
      list(POP_FRONT pending item)
      if(item IN_LIST seen OR NOT TARGET ${item})
        continue()
      endif()
      list(APPEND seen ${item})
      get_target_property(aliased ${item} ALIASED_TARGET)
      if(aliased)
        list(APPEND pending ${aliased})
        continue()
      endif()
      get_target_property(type ${item} TYPE)
      foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        if(type STREQUAL "INTERFACE_LIBRARY" AND property STREQUAL "LINK_LIBRARIES")
          continue()
        endif()
        get_target_property(links ${item} ${property})
        if(links)
          list(APPEND pending ${links})
        endif()
      endforeach()
    endwhile()
    if("zel_platform" IN_LIST seen AND "zel_platform_seamed" IN_LIST seen)
      message(FATAL_ERROR "${program} would link both the plain and the seamed libraries")
    endif()
    if("zel_platform_seamed" IN_LIST seen AND program IN_LIST ARGN)
      message(FATAL_ERROR "${program} is installed and would link the seamed libraries")
    endif()
  endforeach()
endfunction()
