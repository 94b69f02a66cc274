# vx_help_book(<book> <folder>): a program's help book. The HTML pages and style sheets of
# <folder> (and the pictures they show) are copied to share/vexmor/help/<book> beside the programs, where the help command
# opens index.html in the desktop's browser, and installed there.
function(vx_help_book book folder)
  file(GLOB pages CONFIGURE_DEPENDS ${folder}/*.html ${folder}/*.css ${folder}/*.png)
  set(out ${VX_SHARE_DIR}/help/${book})
  set(copies)
  foreach(page IN LISTS pages)
    get_filename_component(name ${page} NAME)
    add_custom_command(OUTPUT ${out}/${name}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
                       COMMAND ${CMAKE_COMMAND} -E copy_if_different ${page} ${out}/${name}
                       DEPENDS ${page})
    list(APPEND copies ${out}/${name})
  endforeach()
  add_custom_target(${book}_help ALL DEPENDS ${copies})
  set_property(GLOBAL APPEND PROPERTY VX_COMPONENTS ${book}_help)
  install(FILES ${pages} DESTINATION share/vexmor/help/${book})
endfunction()
