#include "test_frames.h"

#include <stdio.h>
#include <string.h>

guint8 *
test_photo_load (const gchar * path, gint * width, gint * height)
{
  FILE *f = fopen (path, "rb");
  guint8 *pixels = NULL;
  gint maxval = 0;

  if (f == NULL)
    return NULL;
  if (fscanf (f, "P6 %d %d %d", width, height, &maxval) == 3 && maxval == 255
      && fgetc (f) != EOF) {
    gsize bytes = (gsize) * width * *height * 3;
    pixels = g_malloc (bytes);
    if (fread (pixels, 1, bytes, f) != bytes)
      g_clear_pointer (&pixels, g_free);
  }
  fclose (f);
  return pixels;
}

static guint8
clamp_byte (gint v)
{
  return (guint8) CLAMP (v, 0, 255);
}

GstBuffer *
test_frame_make (const guint8 * photo, gint photo_width, gint photo_height,
    const GstVideoInfo * info, gint k)
{
  const gint w = GST_VIDEO_INFO_WIDTH (info), h = GST_VIDEO_INFO_HEIGHT (info);
  const gint x0 = (k * 11) % MAX (1, photo_width - w);
  const gint y0 = (k * 5) % MAX (1, photo_height - h);
  const GstVideoFormatInfo *finfo = info->finfo;
  GstBuffer *buffer = gst_buffer_new_allocate (NULL, info->size, NULL);
  GstVideoFrame frame;
  gint x, y;

  gst_buffer_add_video_meta_full (buffer, GST_VIDEO_FRAME_FLAG_NONE,
      GST_VIDEO_INFO_FORMAT (info), w, h, GST_VIDEO_INFO_N_PLANES (info),
      (gsize *) info->offset, (gint *) info->stride);
  g_assert (gst_video_frame_map (&frame, info, buffer, GST_MAP_WRITE));
  for (y = 0; y < h; y++) {
    for (x = 0; x < w; x++) {
      const guint8 *rgb = photo + ((gsize) ((y0 + y) % photo_height) * photo_width
          + (x0 + x) % photo_width) * 3;
      if (GST_VIDEO_FORMAT_INFO_IS_RGB (finfo)) {
        guint8 *p = (guint8 *) GST_VIDEO_FRAME_PLANE_DATA (&frame, 0)
            + y * GST_VIDEO_FRAME_PLANE_STRIDE (&frame, 0)
            + x * GST_VIDEO_FRAME_COMP_PSTRIDE (&frame, 0);
        p[GST_VIDEO_FRAME_COMP_POFFSET (&frame, 0)] = rgb[0];
        p[GST_VIDEO_FRAME_COMP_POFFSET (&frame, 1)] = rgb[1];
        p[GST_VIDEO_FRAME_COMP_POFFSET (&frame, 2)] = rgb[2];
        if (GST_VIDEO_FRAME_COMP_PSTRIDE (&frame, 0) == 4) {
          /* The fourth byte: alpha or padding, something other than 255. */
          const gint spare = 6 - GST_VIDEO_FRAME_COMP_POFFSET (&frame, 0)
              - GST_VIDEO_FRAME_COMP_POFFSET (&frame, 1)
              - GST_VIDEO_FRAME_COMP_POFFSET (&frame, 2);
          p[spare] = (guint8) (x + y);
        }
      } else {
        const gint r = rgb[0], g = rgb[1], b = rgb[2];
        guint8 *yp = (guint8 *) GST_VIDEO_FRAME_COMP_DATA (&frame, 0)
            + y * GST_VIDEO_FRAME_COMP_STRIDE (&frame, 0) + x;
        *yp = clamp_byte (((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
        if ((x % 2) == 0 && (y % 2) == 0) {
          const gint cx = x / 2, cy = y / 2;
          guint8 *u = (guint8 *) GST_VIDEO_FRAME_COMP_DATA (&frame, 1)
              + cy * GST_VIDEO_FRAME_COMP_STRIDE (&frame, 1)
              + cx * GST_VIDEO_FRAME_COMP_PSTRIDE (&frame, 1);
          guint8 *v = (guint8 *) GST_VIDEO_FRAME_COMP_DATA (&frame, 2)
              + cy * GST_VIDEO_FRAME_COMP_STRIDE (&frame, 2)
              + cx * GST_VIDEO_FRAME_COMP_PSTRIDE (&frame, 2);
          *u = clamp_byte (((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
          *v = clamp_byte (((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }
      }
    }
  }
  gst_video_frame_unmap (&frame);
  return buffer;
}

void
test_image_from_frame (const GstVideoFrame * frame, VidraImage * image)
{
  static const struct {
    GstVideoFormat gst;
    gint32 vidra;
  } formats[] = {
    {GST_VIDEO_FORMAT_NV12, VIDRA_PIXEL_NV12},
    {GST_VIDEO_FORMAT_I420, VIDRA_PIXEL_I420},
    {GST_VIDEO_FORMAT_RGB, VIDRA_PIXEL_RGB24},
    {GST_VIDEO_FORMAT_BGR, VIDRA_PIXEL_BGR24},
    {GST_VIDEO_FORMAT_RGBA, VIDRA_PIXEL_RGBA32},
    {GST_VIDEO_FORMAT_RGBx, VIDRA_PIXEL_RGBA32},
    {GST_VIDEO_FORMAT_BGRA, VIDRA_PIXEL_BGRA32},
    {GST_VIDEO_FORMAT_BGRx, VIDRA_PIXEL_BGRA32},
  };
  guint i, p;

  memset (image, 0, sizeof (*image));
  image->width = GST_VIDEO_FRAME_WIDTH (frame);
  image->height = GST_VIDEO_FRAME_HEIGHT (frame);
  for (i = 0; i < G_N_ELEMENTS (formats); i++)
    if (formats[i].gst == GST_VIDEO_FRAME_FORMAT (frame))
      image->format = formats[i].vidra;
  for (p = 0; p < GST_VIDEO_FRAME_N_PLANES (frame); p++) {
    image->planes[p] = GST_VIDEO_FRAME_PLANE_DATA (frame, p);
    image->strides[p] = GST_VIDEO_FRAME_PLANE_STRIDE (frame, p);
  }
}
