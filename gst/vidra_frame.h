/* GStreamer video frames as the library's image and mask descriptions. */
#ifndef GST_VIDRA_FRAME_H
#define GST_VIDRA_FRAME_H

#include <gst/video/video.h>

#include "vidra_core.h"

G_BEGIN_DECLS

/* The formats the element negotiates; each maps onto a VidraPixelFormat
 * without conversion (RGBx/BGRx as their 4-byte twins: the library never
 * reads the fourth byte). */
#define GST_VIDRA_FORMATS "{ NV12, I420, RGB, BGR, RGBA, BGRA, RGBx, BGRx }"

/* The library's pixel format for a negotiated format, 0 for any other. */
gint32 gst_vidra_pixel_format (GstVideoFormat format);

/* TRUE for the formats whose fourth byte is alpha (the transparent background). */
gboolean gst_vidra_format_has_alpha (GstVideoFormat format);

/* Describes a mapped frame; the planes stay owned by the frame. */
void gst_vidra_image_from_frame (const GstVideoFrame * frame, VidraImage * image);

G_END_DECLS

#endif
