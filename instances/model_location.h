// Turns the modelPath of the options (a folder or a model file) into the
// model file an instance prepares: a folder and a file name in it, checked
// to be a regular file first, so that a missing model is reported as such.
#ifndef VIDRA_INSTANCES_MODEL_LOCATION_H
#define VIDRA_INSTANCES_MODEL_LOCATION_H

#include <string>

namespace instances {

struct ModelLocation {
    std::string folder;
    std::string name;
};

// path: a model file, or a folder holding configuredName or, when that is
// empty, the first *.tesk file the model search meets (in the folder or in
// its subfolders named *.tesk). Returns false with a reason when there is no
// such regular file.
bool LocateModel(const std::string& path, const std::string& configuredName,
                 ModelLocation& location, std::string& reason);

}  // namespace instances

#endif
