/* The background image of background=image: any picture GStreamer can
 * decode, scaled to the stream's size once and decoded as RGB. For NV12 and
 * I420 streams it is then converted once by the library's compositing (the
 * picture over an all-background mask gives the background exactly), so
 * frames are composited from a picture already in their own format, with
 * the same bytes as from the RGB picture. */
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

/* Makes bg hold location for frames described by info, reusing what is
 * loaded when they match. On failure bg is empty and *error says why. */
gboolean gst_vidra_background_load (GstVidraBackgroundImage * bg,
    const gchar * location, const GstVideoInfo * info, GError ** error);

void gst_vidra_background_clear (GstVidraBackgroundImage * bg);

G_END_DECLS

#endif
