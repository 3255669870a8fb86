# Included by app/CMakeLists.txt: source properties are per folder.
# The sound clips and pictures, compiled into the program's resources. The
# clips are found as ":/WAVE/<name>".
set(KORVEX_CLIPS BUDDYOFF BUDDYON CHIME ERROR LEFT NEG NEWMSG ONLINE PAS RING ROOM SIGNOFF
  SIGNON SWITCH TYPE)
set(KORVEX_RESOURCE_FILES "")
foreach(clip IN LISTS KORVEX_CLIPS)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/wave/${clip}.wav PROPERTIES
    QT_RESOURCE_ALIAS WAVE/${clip})
  list(APPEND KORVEX_RESOURCE_FILES ${PROJECT_SOURCE_DIR}/resources/wave/${clip}.wav)
endforeach()
foreach(picture Image1 Image2)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/pictures/${picture}.png PROPERTIES
    QT_RESOURCE_ALIAS pictures/${picture}.png)
  list(APPEND KORVEX_RESOURCE_FILES ${PROJECT_SOURCE_DIR}/resources/pictures/${picture}.png)
endforeach()

