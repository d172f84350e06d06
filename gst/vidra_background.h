/* The background image of background=image: any picture GStreamer can
 * decode, scaled and converted to the stream's size and format once. */
#ifndef GST_VIDRA_BACKGROUND_H
#define GST_VIDRA_BACKGROUND_H

#include <gst/video/video.h>

G_BEGIN_DECLS

typedef struct {
  gchar *location;              /* what was loaded, NULL when nothing is */
  GstVideoInfo info;
  GstBuffer *buffer;
  GstVideoFrame frame;          /* mapped for reading while loaded */
} GstVidraBackgroundImage;

/* Makes bg hold location decoded at info's size and format, reusing what is
 * loaded when both match. On failure bg is empty and *error says why. */
gboolean gst_vidra_background_load (GstVidraBackgroundImage * bg,
    const gchar * location, const GstVideoInfo * info, GError ** error);

void gst_vidra_background_clear (GstVidraBackgroundImage * bg);

G_END_DECLS

#endif
