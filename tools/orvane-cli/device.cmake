# The "device" area of orvane-cli: raw operations on the handset through the device link.
target_sources(orvane-cli PRIVATE "${CMAKE_CURRENT_LIST_DIR}/DeviceCommands.cpp")
target_link_libraries(orvane-cli PRIVATE orvane_devlink orvane_platform_qt)
