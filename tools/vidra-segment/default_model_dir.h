// The model folder used when --models is not given.
#pragma once

#include <string>

namespace vseg {

// Found from the executable's own location, never from the working folder:
// ../share/vidra/models in the installed layout, else the models of the build
// tree the program sits in. Falls back to the installed location, so that an
// error names where the models belong.
std::string DefaultModelDir();

}  // namespace vseg
