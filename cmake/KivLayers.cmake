# The layers of the source tree. KIV_LAYERS lists the subsystems of src/ from the bottom layer up;
# subsystems separated by commas share a layer. Each subsystem is a folder src/<sub> with its
# window-free library kiv_<sub> (QtCore only) and, in src/<sub>/ui, its windows kiv_<sub>_ui.
#
# The rules, checked here on the link graph at configure time and by the layer_check test on the
# include lines of the sources:
#   - a subsystem uses only subsystems of lower layers (never one of its own layer or above);
#   - a window-free library never uses a window library, Qt Gui, Qt Widgets or the editor widget;
#   - a window library may also use the window-free library of its own subsystem.
# A new subsystem joins by its name in KIV_LAYERS, which is also what adds it to the build.

set(KIV_LAYERS "base,fileformats" "devices,editor,frame,viewers" "compile,wizard,debugger" "app")

# Adds src/<sub> and src/<sub>/ui of every subsystem that has a CMakeLists.txt.
function(kiv_add_subsystems)
  foreach(layer ${KIV_LAYERS})
    string(REPLACE "," ";" subs "${layer}")
    foreach(sub ${subs})
      foreach(dir src/${sub} src/${sub}/ui)
        if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
          add_subdirectory(${CMAKE_SOURCE_DIR}/${dir} ${CMAKE_BINARY_DIR}/${dir})
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()

# Sets <out> to the layer number of subsystem <sub> (0 = bottom), -1 when it is not listed.
function(kiv_layer_of sub out)
  set(rank 0)
  set(found -1)
  foreach(layer ${KIV_LAYERS})
    string(REPLACE "," ";" subs "${layer}")
    if(sub IN_LIST subs)
      set(found ${rank})
    endif()
    math(EXPR rank "${rank} + 1")
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Sets <out> to every library <target> links, directly or through other targets.
function(kiv_link_closure target out)
  set(seen "")
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo t)
    if(NOT TARGET ${t})
      continue()
    endif()
    get_target_property(aliased ${t} ALIASED_TARGET)
    if(aliased)
      set(t ${aliased})
    endif()
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(libs ${t} INTERFACE_LINK_LIBRARIES)
    else()
      get_target_property(libs ${t} LINK_LIBRARIES)
    endif()
    foreach(lib ${libs})
      if(lib AND NOT lib IN_LIST seen AND NOT lib MATCHES "^\\$<")
        list(APPEND seen ${lib})
        list(APPEND todo ${lib})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Fails the configure step when a subsystem library breaks the layer rules on the link graph.
function(kiv_check_layer_links)
  set(window_libs Qt6::Gui Qt6::Widgets Qt6::PrintSupport Qt6::Test Qt6::SerialPort
                  QScintilla::QScintilla)
  set(problems "")
  foreach(layer ${KIV_LAYERS})
    string(REPLACE "," ";" subs "${layer}")
    foreach(sub ${subs})
      kiv_layer_of(${sub} my_rank)
      foreach(suffix "" "_ui")
        set(lib kiv_${sub}${suffix})
        if(NOT TARGET ${lib})
          continue()
        endif()
        kiv_link_closure(${lib} closure)
        foreach(dep ${closure})
          if(suffix STREQUAL "" AND (dep IN_LIST window_libs OR dep MATCHES "^kiv_.*_ui$"))
            list(APPEND problems "${lib} is window-free but links ${dep}")
          endif()
          if(dep MATCHES "^kiv_([a-z]+)(_ui)?$")
            set(dep_sub ${CMAKE_MATCH_1})
            kiv_layer_of(${dep_sub} dep_rank)
            if(dep_rank EQUAL -1)
              continue()
            endif()
            if(dep_sub STREQUAL sub)
              if(suffix STREQUAL "")
                list(APPEND problems "${lib} links its own window library ${dep}")
              endif()
            elseif(NOT dep_rank LESS my_rank)
              list(APPEND problems "${lib} links ${dep}, which is not in a lower layer")
            endif()
          endif()
        endforeach()
      endforeach()
    endforeach()
  endforeach()
  if(problems)
    list(REMOVE_DUPLICATES problems)
    string(REPLACE ";" "\n  " text "${problems}")
    message(FATAL_ERROR "The libraries break the layer rules (cmake/KivLayers.cmake):\n  ${text}")
  endif()
endfunction()

# The test that reads the include lines of every source of src/ against the same rules.
function(kiv_add_layer_check_test)
  string(REPLACE ";" "|" layers "${KIV_LAYERS}")
  add_test(NAME layer_check
    COMMAND ${CMAKE_COMMAND} -DKIV_SRC=${CMAKE_SOURCE_DIR}/src "-DKIV_LAYERS=${layers}"
            -P ${CMAKE_SOURCE_DIR}/cmake/KivLayerCheck.cmake)
endfunction()
