/* The mask handed downstream with background=none: a
 * GstVideoRegionOfInterestMeta of type "vidra-person" covering the whole
 * frame, whose parameter "vidra-mask" holds the mask as a GstBuffer
 * ("mask"; "width", "height", "stride" as ints; one byte per pixel,
 * 0 = background ... 255 = person). Readable from any language binding. */
#ifndef GST_VIDRA_MASK_META_H
#define GST_VIDRA_MASK_META_H

#include <gst/video/video.h>

G_BEGIN_DECLS

#define GST_VIDRA_MASK_ROI_TYPE "vidra-person"
#define GST_VIDRA_MASK_PARAM "vidra-mask"

/* Attaches mask (width x height bytes, rows of stride bytes) to the
 * writable buffer; takes a reference to mask. */
void gst_vidra_attach_mask (GstBuffer * buffer, GstBuffer * mask,
    gint width, gint height, gint stride);

/* The mask attached to buffer, or NULL (borrowed; valid while buffer is). */
GstBuffer *gst_vidra_find_mask (GstBuffer * buffer, gint * width,
    gint * height, gint * stride);

G_END_DECLS

#endif
