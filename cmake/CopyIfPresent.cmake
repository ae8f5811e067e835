# Copies SOURCE into the folder DESTINATION when it exists.
if(EXISTS "${SOURCE}")
  file(COPY "${SOURCE}" DESTINATION "${DESTINATION}")
endif()
