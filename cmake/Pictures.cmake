# The pictures travel with the library whose widgets show them:
#   torvan_pictures(TARGET NAME...)  embeds res/NAME.png and its @2x twin as :/pictures/NAME.png.
function(torvan_pictures target)
    set(files "")
    foreach(name IN LISTS ARGN)
        list(APPEND files ${PROJECT_SOURCE_DIR}/res/${name}.png ${PROJECT_SOURCE_DIR}/res/${name}@2x.png)
    endforeach()
    # The resource's name is the target's, so two libraries' pictures never share an init function.
    qt_add_resources(${target} ${target}_pictures PREFIX /pictures BASE ${PROJECT_SOURCE_DIR}/res FILES ${files})
endfunction()
