/* Moving test footage for the element tests: a window panning over a
 * photograph with a person, in any of the element's formats. */
#ifndef VIDRA_TEST_GST_FRAMES_H
#define VIDRA_TEST_GST_FRAMES_H

#include <gst/video/video.h>

#include "vidra_core.h"

G_BEGIN_DECLS

/* The photograph (P6 PPM), or NULL. Free with g_free. */
guint8 *test_photo_load (const gchar * path, gint * width, gint * height);

/* Frame k of the pan over the photo, width x height, in info's format,
 * as a new buffer laid out as info says (with a GstVideoMeta). */
GstBuffer *test_frame_make (const guint8 * photo, gint photo_width,
    gint photo_height, const GstVideoInfo * info, gint k);

/* Describes the mapped frame for the library, as the element does. */
void test_image_from_frame (const GstVideoFrame * frame, VidraImage * image);

G_END_DECLS

#endif
