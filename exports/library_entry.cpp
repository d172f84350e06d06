// The full library's own translation unit; every export lives in vidra_core
// and vidra_global (which holds the global segmenter), linked in whole.
