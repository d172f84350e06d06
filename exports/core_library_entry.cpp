// The core library's own translation unit. Everything it exports lives in
// vidra_core and vidra_quiet, linked in whole; unlike the full library it
// defines no object that is built at load or torn down at unload.
