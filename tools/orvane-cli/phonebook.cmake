# The "phonebook" area of orvane-cli: .phb files, CSV and vCard import and export.
target_sources(orvane-cli PRIVATE "${CMAKE_CURRENT_LIST_DIR}/PhonebookCli.cpp")
target_link_libraries(orvane-cli PRIVATE orvane_phonebook_core)
