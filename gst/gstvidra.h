/* The vidra element: separates the person from the background of each
 * frame and composites a new background, in place, in the stream's own
 * format. One segmenter instance per element. */
#ifndef GST_VIDRA_H
#define GST_VIDRA_H

#include <gst/video/gstvideofilter.h>

G_BEGIN_DECLS

typedef enum {
  GST_VIDRA_BACKGROUND_BLUR,
  GST_VIDRA_BACKGROUND_COLOR,
  GST_VIDRA_BACKGROUND_IMAGE,
  GST_VIDRA_BACKGROUND_TRANSPARENT,
  GST_VIDRA_BACKGROUND_NONE
} GstVidraBackground;

#define GST_TYPE_VIDRA (gst_vidra_get_type ())
G_DECLARE_FINAL_TYPE (GstVidra, gst_vidra, GST, VIDRA, GstVideoFilter)

/* Registers the element "vidra" with plugin (plugin init and tests). */
gboolean gst_vidra_register (GstPlugin * plugin);

G_END_DECLS

#endif
