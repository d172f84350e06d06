#include "gst/vidra_background.h"

#include <string.h>

#include "vidra_core.h"
#include "gst/vidra_frame.h"

/* Decoding runs in a small pipeline of its own, on the calling thread:
 * filesrc ! decodebin ! videoconvert ! videoscale ! capsfilter ! fakesink,
 * keeping the first picture. */

#define LOAD_TIMEOUT (10 * GST_SECOND)

typedef struct {
  GMutex lock;
  GstBuffer *first;
} Grab;

static void
on_handoff (GstElement * sink, GstBuffer * buffer, GstPad * pad, gpointer user)
{
  Grab *grab = user;
  (void) sink;
  (void) pad;
  g_mutex_lock (&grab->lock);
  if (grab->first == NULL)
    grab->first = gst_buffer_ref (buffer);
  g_mutex_unlock (&grab->lock);
}

static void
on_pad_added (GstElement * decodebin, GstPad * pad, gpointer convert)
{
  GstPad *sinkpad = gst_element_get_static_pad (GST_ELEMENT (convert), "sink");
  (void) decodebin;
  if (!gst_pad_is_linked (sinkpad))
    gst_pad_link (pad, sinkpad);
  gst_object_unref (sinkpad);
}

static GstBuffer *
decode_first_picture (const gchar * location, const GstVideoInfo * info,
    GError ** error)
{
  GstElement *pipeline = gst_pipeline_new (NULL);
  GstElement *src = gst_element_factory_make ("filesrc", NULL);
  GstElement *decode = gst_element_factory_make ("decodebin", NULL);
  GstElement *convert = gst_element_factory_make ("videoconvert", NULL);
  GstElement *scale = gst_element_factory_make ("videoscale", NULL);
  GstElement *filter = gst_element_factory_make ("capsfilter", NULL);
  GstElement *sink = gst_element_factory_make ("fakesink", NULL);
  GstBuffer *result = NULL;
  Grab grab;
  GstBus *bus;
  gint64 deadline;

  g_mutex_init (&grab.lock);
  grab.first = NULL;
  if (!src || !decode || !convert || !scale || !filter || !sink) {
    g_set_error (error, GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN,
        "decoding the background image needs filesrc, decodebin, videoconvert "
        "and videoscale");
    gst_clear_object (&src);
    gst_clear_object (&decode);
    gst_clear_object (&convert);
    gst_clear_object (&scale);
    gst_clear_object (&filter);
    gst_clear_object (&sink);
    gst_object_unref (pipeline);
    g_mutex_clear (&grab.lock);
    return NULL;
  }
  {
    GstCaps *caps = gst_video_info_to_caps (info);
    gst_caps_set_simple (caps, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1,
        NULL);
    gst_structure_remove_fields (gst_caps_get_structure (caps, 0),
        "framerate", "colorimetry", "chroma-site", "interlace-mode", NULL);
    g_object_set (filter, "caps", caps, NULL);
    gst_caps_unref (caps);
  }
  g_object_set (src, "location", location, NULL);
  g_object_set (scale, "add-borders", FALSE, NULL);
  g_object_set (sink, "signal-handoffs", TRUE, "sync", FALSE, NULL);
  g_signal_connect (sink, "handoff", G_CALLBACK (on_handoff), &grab);
  g_signal_connect (decode, "pad-added", G_CALLBACK (on_pad_added), convert);
  gst_bin_add_many (GST_BIN (pipeline), src, decode, convert, scale, filter,
      sink, NULL);
  gst_element_link (src, decode);
  gst_element_link_many (convert, scale, filter, sink, NULL);

  bus = gst_element_get_bus (pipeline);
  gst_element_set_state (pipeline, GST_STATE_PLAYING);
  deadline = g_get_monotonic_time () + LOAD_TIMEOUT / GST_USECOND;
  for (;;) {
    GstMessage *msg = gst_bus_timed_pop_filtered (bus, 20 * GST_MSECOND,
        GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
    gboolean have;

    g_mutex_lock (&grab.lock);
    have = grab.first != NULL;
    g_mutex_unlock (&grab.lock);
    if (have) {
      gst_clear_message (&msg);
      break;
    }
    if (msg != NULL && GST_MESSAGE_TYPE (msg) == GST_MESSAGE_ERROR) {
      gst_message_parse_error (msg, error, NULL);
      gst_message_unref (msg);
      break;
    }
    if (msg != NULL) {          /* EOS with no picture */
      g_set_error (error, GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE,
          "no picture decoded");
      gst_message_unref (msg);
      break;
    }
    if (g_get_monotonic_time () > deadline) {
      g_set_error (error, GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE,
          "decoding took longer than %u s",
          (guint) (LOAD_TIMEOUT / GST_SECOND));
      break;
    }
  }
  gst_element_set_state (pipeline, GST_STATE_NULL);
  gst_object_unref (bus);
  gst_object_unref (pipeline);
  result = grab.first;
  g_mutex_clear (&grab.lock);
  return result;
}

void
gst_vidra_background_clear (GstVidraBackgroundImage * bg)
{
  if (bg->buffer != NULL) {
    gst_video_frame_unmap (&bg->frame);
    gst_buffer_unref (bg->buffer);
    bg->buffer = NULL;
  }
  g_clear_pointer (&bg->location, g_free);
}

/* The RGB picture in the YUV format of want, by the library's conversion. */
static GstBuffer *
convert_to_yuv (GstBuffer * rgb, const GstVideoInfo * rgb_info,
    const GstVideoInfo * want, GError ** error)
{
  const gsize pixels = (gsize) GST_VIDEO_INFO_WIDTH (want)
      * GST_VIDEO_INFO_HEIGHT (want);
  GstBuffer *out = gst_buffer_new_allocate (NULL, want->size, NULL);
  guint8 *zeros = g_malloc0 (pixels);
  VidraMask mask = { GST_VIDEO_INFO_WIDTH (want), GST_VIDEO_INFO_HEIGHT (want),
    GST_VIDEO_INFO_WIDTH (want), 0, zeros
  };
  VidraCompositeOptions options;
  GstVideoFrame in, yuv;
  VidraImage picture, frame;
  int32_t status = VIDRA_STATUS_INTERNAL_ERROR;

  memset (&options, 0, sizeof (options));
  options.structSize = sizeof (options);
  options.background = VIDRA_BACKGROUND_IMAGE;
  options.image = &picture;
  /* The frame's own samples never show through a zero mask. */
  gst_buffer_memset (out, 0, 0, want->size);
  if (gst_video_frame_map (&in, rgb_info, rgb, GST_MAP_READ)) {
    if (gst_video_frame_map (&yuv, want, out, GST_MAP_READWRITE)) {
      gst_vidra_image_from_frame (&in, &picture);
      gst_vidra_image_from_frame (&yuv, &frame);
      status = VidraComposite (&frame, &mask, &options, &frame, NULL, 0);
      gst_video_frame_unmap (&yuv);
    }
    gst_video_frame_unmap (&in);
  }
  g_free (zeros);
  if (status != VIDRA_STATUS_OK) {
    g_set_error (error, GST_STREAM_ERROR, GST_STREAM_ERROR_FORMAT,
        "converting the picture to %s failed: %s",
        gst_video_format_to_string (GST_VIDEO_INFO_FORMAT (want)),
        VidraStatusString (status));
    gst_buffer_unref (out);
    return NULL;
  }
  return out;
}

gboolean
gst_vidra_background_load (GstVidraBackgroundImage * bg,
    const gchar * location, const GstVideoInfo * info, GError ** error)
{
  const GstVideoFormat format = GST_VIDEO_INFO_FORMAT (info);
  const gboolean yuv = format == GST_VIDEO_FORMAT_NV12
      || format == GST_VIDEO_FORMAT_I420;
  GstBuffer *buffer;
  GstVideoInfo rgb, want;

  if (bg->buffer != NULL && g_strcmp0 (bg->location, location) == 0
      && GST_VIDEO_INFO_FORMAT (&bg->info) == (yuv ? format :
          GST_VIDEO_FORMAT_RGB)
      && GST_VIDEO_INFO_WIDTH (&bg->info) == GST_VIDEO_INFO_WIDTH (info)
      && GST_VIDEO_INFO_HEIGHT (&bg->info) == GST_VIDEO_INFO_HEIGHT (info))
    return TRUE;
  gst_vidra_background_clear (bg);
  if (location == NULL || location[0] == '\0') {
    g_set_error (error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND,
        "background=image needs image-location");
    return FALSE;
  }
  gst_video_info_set_format (&rgb, GST_VIDEO_FORMAT_RGB,
      GST_VIDEO_INFO_WIDTH (info), GST_VIDEO_INFO_HEIGHT (info));
  buffer = decode_first_picture (location, &rgb, error);
  if (buffer == NULL)
    return FALSE;
  want = rgb;
  if (yuv) {
    GstBuffer *converted;
    gst_video_info_set_format (&want, format, GST_VIDEO_INFO_WIDTH (info),
        GST_VIDEO_INFO_HEIGHT (info));
    converted = convert_to_yuv (buffer, &rgb, &want, error);
    gst_buffer_unref (buffer);
    if (converted == NULL)
      return FALSE;
    buffer = converted;
  }
  if (!gst_video_frame_map (&bg->frame, &want, buffer, GST_MAP_READ)) {
    g_set_error (error, GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE,
        "the decoded picture does not have the stream's size");
    gst_buffer_unref (buffer);
    return FALSE;
  }
  bg->buffer = buffer;
  bg->info = want;
  bg->location = g_strdup (location);
  return TRUE;
}
