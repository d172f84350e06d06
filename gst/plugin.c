/* The GStreamer plugin "vidra": one element of the same name. */
#include "gst/gstvidra.h"

#define PACKAGE "vidra"
#define VERSION VIDRA_GST_VERSION

static gboolean
plugin_init (GstPlugin * plugin)
{
  return gst_vidra_register (plugin);
}

GST_PLUGIN_DEFINE (GST_VERSION_MAJOR, GST_VERSION_MINOR, vidra,
    "Person segmentation of live video on the CPU", plugin_init, VERSION,
    "MIT/X11", "vidra", "vidra")
