#include "gst/vidra_frame.h"

#include <string.h>

gint32
gst_vidra_pixel_format (GstVideoFormat format)
{
  switch (format) {
    case GST_VIDEO_FORMAT_NV12:
      return VIDRA_PIXEL_NV12;
    case GST_VIDEO_FORMAT_I420:
      return VIDRA_PIXEL_I420;
    case GST_VIDEO_FORMAT_RGB:
      return VIDRA_PIXEL_RGB24;
    case GST_VIDEO_FORMAT_BGR:
      return VIDRA_PIXEL_BGR24;
    case GST_VIDEO_FORMAT_RGBA:
    case GST_VIDEO_FORMAT_RGBx:
      return VIDRA_PIXEL_RGBA32;
    case GST_VIDEO_FORMAT_BGRA:
    case GST_VIDEO_FORMAT_BGRx:
      return VIDRA_PIXEL_BGRA32;
    default:
      return 0;
  }
}

gboolean
gst_vidra_format_has_alpha (GstVideoFormat format)
{
  return format == GST_VIDEO_FORMAT_RGBA || format == GST_VIDEO_FORMAT_BGRA;
}

void
gst_vidra_image_from_frame (const GstVideoFrame * frame, VidraImage * image)
{
  guint p;

  memset (image, 0, sizeof (*image));
  image->width = GST_VIDEO_FRAME_WIDTH (frame);
  image->height = GST_VIDEO_FRAME_HEIGHT (frame);
  image->format = gst_vidra_pixel_format (GST_VIDEO_FRAME_FORMAT (frame));
  for (p = 0; p < GST_VIDEO_FRAME_N_PLANES (frame) && p < 3; p++) {
    image->planes[p] = GST_VIDEO_FRAME_PLANE_DATA (frame, p);
    image->strides[p] = GST_VIDEO_FRAME_PLANE_STRIDE (frame, p);
  }
}
