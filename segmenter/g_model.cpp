#include "segmenter/class_ipu_plus.h"

// Built when the library loads and destroyed when it unloads; its destructor
// releases the inference context once more.
ipu::ClassIPUPlus g_model;
