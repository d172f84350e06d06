// Reading a model file. The engine reads the bytes itself and hands them to
// the runtime, which on Windows would otherwise want a wide-character path.
#ifndef TESK_ENGINE_MODEL_FILE_H
#define TESK_ENGINE_MODEL_FILE_H

#include <vector>

namespace tesk {

// The whole content of the regular, non-empty file at path; false (with a
// reason on stderr) otherwise.
bool ReadModelFile(const char* path, std::vector<unsigned char>* bytes);

}  // namespace tesk

#endif
