# The layers of the source tree, lowest first. Code in a folder may include
# its own folder, the folders of the layers below it, and the JPEG encoder
# from anywhere; folders joined by "|" share a layer and do not include each
# other. cmake/check_layers.cmake checks every include against this order.
set(TAVROCAM_LAYER_ORDER jpeg platform "sim|platform/usb" camera liveview output scan broadcast panel server app
    CACHE INTERNAL "")

# The folders code in `folder` may include.
function(tavrocam_allowed_folders folder out)
  set(allowed jpeg)
  foreach(level IN LISTS TAVROCAM_LAYER_ORDER)
    string(REPLACE "|" ";" members "${level}")
    if(folder IN_LIST members)
      list(APPEND allowed ${folder})
      set(${out} ${allowed} PARENT_SCOPE)
      return()
    endif()
    list(APPEND allowed ${members})
  endforeach()
  message(FATAL_ERROR "${folder} is not in TAVROCAM_LAYER_ORDER")
endfunction()

# Gives `target` (the library of `folder`) an include path that shows only
# the folders it may include, as links into the source tree, so that an
# include pointing up the layers does not compile. Nested folders (such as
# platform/usb) are reached through their parent's link; the check script
# covers what a link cannot tell apart.
function(tavrocam_layer target folder)
  tavrocam_allowed_folders(${folder} allowed)
  set(view ${CMAKE_BINARY_DIR}/layer_views/${target})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  set(linked "")
  foreach(path IN LISTS allowed)
    string(REGEX REPLACE "/.*" "" top "${path}")
    if(NOT top IN_LIST linked AND EXISTS ${PROJECT_SOURCE_DIR}/${top})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${top} ${view}/${top} SYMBOLIC)
      list(APPEND linked ${top})
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${view})
endfunction()
