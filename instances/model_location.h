// Turns the modelPath of the options (a folder or a model file) into what the
// segmenter's model location takes: a folder and a file name, checked to
// exist first so that a missing model is reported as such.
#ifndef VIDRA_INSTANCES_MODEL_LOCATION_H
#define VIDRA_INSTANCES_MODEL_LOCATION_H

#include <string>

namespace instances {

struct ModelLocation {
    std::string folder;
    std::string name;  // empty: the segmenter takes the first model file it finds
};

// path: a model file, or a folder holding configuredName (or, when that is
// empty, at least one *.tesk file). Returns false with a reason when there is
// no such file.
bool LocateModel(const std::string& path, const std::string& configuredName,
                 ModelLocation& location, std::string& reason);

}  // namespace instances

#endif
