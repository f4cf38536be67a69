# The "picture" area of orvane-cli: handset picture records from image files and back.
target_sources(orvane-cli PRIVATE "${CMAKE_CURRENT_LIST_DIR}/PictureCommands.cpp")
target_link_libraries(orvane-cli PRIVATE orvane_picture_core Qt6::Core)
