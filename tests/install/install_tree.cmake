# Installs the build tree BUILD_DIR into a fresh PREFIX, for the tests of the installed programs.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<prefix> -P install_tree.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "installing ${BUILD_DIR} into ${PREFIX} failed: ${status}")
endif()
foreach(file bin/ringsmith bin/discsmith lib/vexmor/VxMpp.so lib/vexmor/vexmor.so
             lib/vexmor/vx_audio_decode.so lib/vexmor/vx_phone_encode.so)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "the installed tree lacks ${file}")
  endif()
endforeach()
