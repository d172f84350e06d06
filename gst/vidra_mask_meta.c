#include "gst/vidra_mask_meta.h"

void
gst_vidra_attach_mask (GstBuffer * buffer, GstBuffer * mask, gint width,
    gint height, gint stride)
{
  GstVideoRegionOfInterestMeta *meta =
      gst_buffer_add_video_region_of_interest_meta (buffer,
      GST_VIDRA_MASK_ROI_TYPE, 0, 0, (guint) width, (guint) height);

  gst_video_region_of_interest_meta_add_param (meta,
      gst_structure_new (GST_VIDRA_MASK_PARAM, "mask", GST_TYPE_BUFFER, mask,
          "width", G_TYPE_INT, width, "height", G_TYPE_INT, height,
          "stride", G_TYPE_INT, stride, NULL));
}

GstBuffer *
gst_vidra_find_mask (GstBuffer * buffer, gint * width, gint * height,
    gint * stride)
{
  gpointer state = NULL;
  GstMeta *meta;

  while ((meta = gst_buffer_iterate_meta_filtered (buffer, &state,
              GST_VIDEO_REGION_OF_INTEREST_META_API_TYPE)) != NULL) {
    GstVideoRegionOfInterestMeta *roi = (GstVideoRegionOfInterestMeta *) meta;
    GstStructure *s =
        gst_video_region_of_interest_meta_get_param (roi, GST_VIDRA_MASK_PARAM);
    const GValue *v;

    if (s == NULL || (v = gst_structure_get_value (s, "mask")) == NULL
        || !GST_VALUE_HOLDS_BUFFER (v))
      continue;
    if (!gst_structure_get_int (s, "width", width)
        || !gst_structure_get_int (s, "height", height)
        || !gst_structure_get_int (s, "stride", stride))
      continue;
    return gst_value_get_buffer (v);
  }
  return NULL;
}
