# The Python module as <prefix>/lib/python3/dist-packages/vidra: on Debian's
# sys.path for the prefix /usr, else put that folder on PYTHONPATH. Installed
# there, the module takes the library from <prefix>/lib (<prefix>/bin on
# Windows) and the models from <prefix>/share/vidra/models, without
# VIDRA_LIBRARY (python/vidra/_library.py relies on this layout).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/python/vidra DESTINATION lib/python3/dist-packages
        FILES_MATCHING PATTERN "*.py" PATTERN "__pycache__" EXCLUDE)
