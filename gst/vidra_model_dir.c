#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include "gst/vidra_model_dir.h"

#include <dlfcn.h>

gchar *
gst_vidra_default_model_dir (void)
{
  const gchar *env = g_getenv ("VIDRA_MODEL_DIR");
  Dl_info info;
  gchar *dir, *joined, *models;

  if (env != NULL && env[0] != '\0')
    return g_strdup (env);
  if (dladdr ((void *) gst_vidra_default_model_dir, &info) == 0
      || info.dli_fname == NULL)
    return g_strdup ("share/vidra/models");
  dir = g_path_get_dirname (info.dli_fname);
  joined = g_build_filename (dir, "..", "..", "share", "vidra", "models", NULL);
  models = g_canonicalize_filename (joined, NULL);
  g_free (joined);
  g_free (dir);
  return models;
}
