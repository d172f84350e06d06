// The shared library's own translation unit; every export lives in vidra_core,
// which is linked in whole.
