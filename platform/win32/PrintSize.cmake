# Prints the size of a linked program, so that its growth shows in every build log.
file(SIZE ${FILE} size)
get_filename_component(name ${FILE} NAME)
message(STATUS "${name}: ${size} bytes")
