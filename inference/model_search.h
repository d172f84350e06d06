// The model search of both APIs: a folder and its subfolders whose names end
// in the extension (letter case ignored), entries in name order (NameBefore),
// each folder once however links lead back to it, at most 16 levels down.
#ifndef VIDRA_INFERENCE_MODEL_SEARCH_H
#define VIDRA_INFERENCE_MODEL_SEARCH_H

#include <string>
#include <vector>

// Appends to `found`, depth first, "folder\name" for every entry matching
// "*extension" that is not a folder (files of any kind: callers open only
// regular files). Paths are joined with a backslash.
void SearchModelFiles(const std::string& folder, const std::string& extension,
                      std::vector<std::string>& found);

#endif
