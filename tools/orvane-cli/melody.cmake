# The "wave" and "melody" command areas.
target_sources(orvane-cli PRIVATE
  "${CMAKE_CURRENT_LIST_DIR}/MelodyCliSupport.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/MelodyCommands.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/SignalCancel.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/WaveCommands.cpp")
target_link_libraries(orvane-cli PRIVATE orvane_melody_core)
# The codec library is loaded at run time; build it with the tool that loads it.
add_dependencies(orvane-cli orva-coder)
