/* Where the element looks for its model when model-location is not set. */
#ifndef GST_VIDRA_MODEL_DIR_H
#define GST_VIDRA_MODEL_DIR_H

#include <glib.h>

G_BEGIN_DECLS

/* $VIDRA_MODEL_DIR when set and not empty; otherwise the installed model
 * folder, ../../share/vidra/models from the folder of the file holding this
 * code (the plugin in PREFIX/lib/gstreamer-1.0). Newly allocated. */
gchar *gst_vidra_default_model_dir (void);

G_END_DECLS

#endif
