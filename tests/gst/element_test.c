/* The vidra element against the library it wraps: the same masks and the
 * same composited frames as the C API gives on the same footage, every
 * format negotiated as is, settings changed while frames flow, errors on
 * the bus, state cycles, QoS, latency and statistics. The element is
 * registered in-process from its static archive. */
#include <gst/check/gstcheck.h>
#include <gst/check/gstharness.h>
#include <gst/video/video.h>
#include <glib/gstdio.h>
#include <malloc.h>
#include <string.h>

#include "vidra_core.h"
#include "gst/gstvidra.h"
#include "gst/vidra_mask_meta.h"
#include "test_frames.h"

static const gchar *model_dir = VIDRA_TEST_MODEL_DIR;
static guint8 *photo;
static gint photo_w, photo_h;

#define W 320
#define H 240
#define FRAME_NS (GST_SECOND / 30)

/* ---- Helpers --------------------------------------------------------- */

static void
video_info (GstVideoInfo * info, const gchar * format, gint w, gint h)
{
  gst_video_info_set_format (info, gst_video_format_from_string (format), w,
      h);
  GST_VIDEO_INFO_FPS_N (info) = 30;
  GST_VIDEO_INFO_FPS_D (info) = 1;
}

/* A harness around a new element with the test models and props, a list
 * of name, value strings ending in NULL. */
static GstHarness *
harness_new (const GstVideoInfo * info, const gchar * const *props)
{
  GstHarness *h = gst_harness_new ("vidra");
  GstCaps *caps = gst_video_info_to_caps (info);

  g_object_set (h->element, "model-location", model_dir, NULL);
  for (; props != NULL && props[0] != NULL; props += 2)
    gst_util_set_object_arg (G_OBJECT (h->element), props[0], props[1]);
  gst_harness_set_src_caps (h, caps);
  return h;
}

static GstBuffer *
frame_new (const GstVideoInfo * info, gint k)
{
  GstBuffer *b = test_frame_make (photo, photo_w, photo_h, info, k);
  GST_BUFFER_PTS (b) = k * FRAME_NS;
  GST_BUFFER_DURATION (b) = FRAME_NS;
  return b;
}

static VidraSegmenter *
reference_new (gint w, gint h, gboolean mask_blur)
{
  VidraSegmenterOptions options;
  SegParams params = kSegParams144x80;
  VidraSegmenter *seg = NULL;

  params.MaskBlur = mask_blur;
  VidraSegmenterOptionsInit (&options);
  options.width = w;
  options.height = h;
  options.modelPath = model_dir;
  options.params = &params;
  fail_unless_equals_int (VidraSegmenterCreate (&options, &seg),
      VIDRA_STATUS_OK);
  return seg;
}

/* The reference mask of a frame buffer (not modified). */
static guint8 *
reference_mask (VidraSegmenter * seg, const GstVideoInfo * info,
    GstBuffer * buffer)
{
  const gint w = GST_VIDEO_INFO_WIDTH (info), h = GST_VIDEO_INFO_HEIGHT (info);
  guint8 *bytes = g_malloc ((gsize) w * h);
  VidraMask mask = { w, h, w, 0, bytes };
  GstVideoFrame frame;
  VidraImage image;

  fail_unless (gst_video_frame_map (&frame, info, buffer, GST_MAP_READ));
  test_image_from_frame (&frame, &image);
  fail_unless_equals_int (VidraSegmenterProcess (seg, &image, &mask),
      VIDRA_STATUS_OK);
  gst_video_frame_unmap (&frame);
  return bytes;
}

/* The frame composited by the library in place, as the element should. */
static void
reference_composite (const GstVideoInfo * info, GstBuffer * buffer,
    guint8 * mask_bytes, const VidraCompositeOptions * options, gboolean refine)
{
  const gint w = GST_VIDEO_INFO_WIDTH (info), h = GST_VIDEO_INFO_HEIGHT (info);
  VidraMask mask = { w, h, w, 0, mask_bytes };
  GstVideoFrame frame;
  VidraImage image;

  fail_unless (gst_video_frame_map (&frame, info, buffer, GST_MAP_READWRITE));
  test_image_from_frame (&frame, &image);
  if (refine)
    fail_unless_equals_int (VidraRefineMask (&image, &mask, NULL, &mask, NULL,
            0), VIDRA_STATUS_OK);
  fail_unless_equals_int (VidraComposite (&image, &mask, options, &image,
          NULL, 0), VIDRA_STATUS_OK);
  gst_video_frame_unmap (&frame);
}

static gboolean
buffers_equal (GstBuffer * a, GstBuffer * b)
{
  GstMapInfo ma, mb;
  gboolean equal;

  fail_unless (gst_buffer_map (a, &ma, GST_MAP_READ));
  fail_unless (gst_buffer_map (b, &mb, GST_MAP_READ));
  equal = ma.size == mb.size && memcmp (ma.data, mb.data, ma.size) == 0;
  gst_buffer_unmap (a, &ma);
  gst_buffer_unmap (b, &mb);
  return equal;
}

static void
assert_same_bytes (GstBuffer * a, GstBuffer * b, const gchar * what, gint k)
{
  fail_unless (buffers_equal (a, b), "%s: frame %d differs", what, k);
}

/* The element's mask on out equals expected (width x height, packed). */
static void
assert_mask (GstBuffer * out, const guint8 * expected, gint w, gint h,
    const gchar * what, gint k)
{
  gint mw = 0, mh = 0, stride = 0, y;
  GstBuffer *mask = gst_vidra_find_mask (out, &mw, &mh, &stride);
  GstMapInfo map;

  fail_unless (mask != NULL, "%s: frame %d has no mask", what, k);
  fail_unless_equals_int (mw, w);
  fail_unless_equals_int (mh, h);
  fail_unless (gst_buffer_map (mask, &map, GST_MAP_READ));
  fail_unless (map.size >= (gsize) stride * (h - 1) + w);
  for (y = 0; y < h; y++)
    fail_unless (memcmp (map.data + (gsize) y * stride, expected + (gsize) y * w,
            w) == 0, "%s: frame %d, mask row %d differs", what, k, y);
  gst_buffer_unmap (mask, &map);
}

/* Some person and some background: a mask a comparison can tell apart. */
static void
assert_mask_has_both (const guint8 * mask, gsize n)
{
  gsize person = 0, i;
  for (i = 0; i < n; i++)
    person += mask[i] >= 128;
  fail_unless (person > n / 20 && person < n - n / 20,
      "person covers %" G_GSIZE_FORMAT " of %" G_GSIZE_FORMAT " pixels",
      person, n);
}

/* ---- Masks and composites against the C API -------------------------- */

typedef struct {
  const gchar *format;
  const gchar *background;
  const gchar *extra_name, *extra_value;
  VidraCompositeOptions options;
  gboolean refine;
} CompositeCase;

/* The background picture of background=image: another part of the photo,
 * written as a PNG of the frame's size (lossless, so decoding gives these
 * bytes back, reordered for the frame's format). Written by the test
 * itself: each test runs in a child forked from main, where GStreamer
 * threads started before the fork would be missing. */
static gchar *background_png;
static GstBuffer *background_rgb;

static void
background_png_write (const gchar * path)
{
  GstElement *p = gst_parse_launch ("appsrc name=src ! pngenc ! "
      "filesink name=sink", NULL);
  GstElement *src = gst_bin_get_by_name (GST_BIN (p), "src");
  GstElement *sink = gst_bin_get_by_name (GST_BIN (p), "sink");
  GstBus *bus = gst_element_get_bus (p);
  GstVideoInfo info;
  GstMessage *msg;
  GstCaps *caps;
  GstFlowReturn flow;

  video_info (&info, "RGB", W, H);
  background_rgb = test_frame_make (photo, photo_w, photo_h, &info, 17);
  caps = gst_video_info_to_caps (&info);
  g_object_set (src, "caps", caps, NULL);
  g_object_set (sink, "location", path, NULL);
  gst_caps_unref (caps);
  gst_element_set_state (p, GST_STATE_PLAYING);
  g_signal_emit_by_name (src, "push-buffer", background_rgb, &flow);
  g_signal_emit_by_name (src, "end-of-stream", &flow);
  msg = gst_bus_timed_pop_filtered (bus, 30 * GST_SECOND,
      GST_MESSAGE_EOS | GST_MESSAGE_ERROR);
  if (msg == NULL || GST_MESSAGE_TYPE (msg) != GST_MESSAGE_EOS)
    g_error ("writing %s failed", path);
  gst_message_unref (msg);
  gst_element_set_state (p, GST_STATE_NULL);
  gst_object_unref (bus);
  gst_object_unref (src);
  gst_object_unref (sink);
  gst_object_unref (p);
}

static const CompositeCase composite_cases[] = {
  /* blur-strength 0: shorter side / 40 */
  {"RGB", "blur", NULL, NULL, {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_BLUR, H / 40, {0}, NULL}, FALSE},
  {"BGRx", "blur", "blur-strength", "9", {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_BLUR, 9, {0}, NULL}, FALSE},
  {"BGR", "color", "color", "0xff2040c0", {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_COLOR, 0, {0x20, 0x40, 0xc0, 0}, NULL}, FALSE},
  {"RGBx", "color", "color", "0x00ffee01", {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_COLOR, 0, {0xff, 0xee, 0x01, 0}, NULL}, FALSE},
  {"RGBA", "transparent", NULL, NULL, {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_TRANSPARENT, 0, {0}, NULL}, FALSE},
  {"BGRA", "transparent", "refine-edges", "true",
      {sizeof (VidraCompositeOptions), VIDRA_BACKGROUND_TRANSPARENT, 0, {0},
          NULL}, TRUE},
  {"RGB", "blur", "refine-edges", "true", {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_BLUR, H / 40, {0}, NULL}, TRUE},
  /* YUV frames composited plane by plane, no conversion of the frame */
  {"NV12", "blur", NULL, NULL, {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_BLUR, H / 40, {0}, NULL}, FALSE},
  {"I420", "blur", "blur-strength", "25", {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_BLUR, 25, {0}, NULL}, FALSE},
  {"NV12", "blur", "refine-edges", "true", {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_BLUR, H / 40, {0}, NULL}, TRUE},
  {"I420", "color", "color", "0xff2040c0", {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_COLOR, 0, {0x20, 0x40, 0xc0, 0}, NULL}, FALSE},
  {"NV12", "color", NULL, NULL, {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_COLOR, 0, {0x00, 0xb1, 0x40, 0}, NULL}, FALSE},
  /* options.image: background_rgb, filled in by the test; the element
   * converts it once for YUV frames, the reference on every frame */
  {"RGB", "image", NULL, NULL, {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_IMAGE, 0, {0}, NULL}, FALSE},
  {"BGRx", "image", NULL, NULL, {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_IMAGE, 0, {0}, NULL}, FALSE},
  {"NV12", "image", NULL, NULL, {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_IMAGE, 0, {0}, NULL}, FALSE},
  {"I420", "image", NULL, NULL, {sizeof (VidraCompositeOptions),
          VIDRA_BACKGROUND_IMAGE, 0, {0}, NULL}, FALSE},
};

GST_START_TEST (test_composite_matches_library)
{
  const CompositeCase *c = &composite_cases[__i__];
  const gchar *props[] = { "background", c->background, "image-location",
    background_png, c->extra_name, c->extra_value, NULL
  };
  VidraCompositeOptions options = c->options;
  GstVideoInfo info, rgb_info;
  GstVideoFrame background;
  VidraImage image;
  GstHarness *h;
  VidraSegmenter *ref;
  gint k;

  video_info (&info, c->format, W, H);
  video_info (&rgb_info, "RGB", W, H);
  background_png_write (background_png);
  fail_unless (gst_video_frame_map (&background, &rgb_info, background_rgb,
          GST_MAP_READ));
  test_image_from_frame (&background, &image);
  if (options.background == VIDRA_BACKGROUND_IMAGE)
    options.image = &image;
  h = harness_new (&info, props);
  ref = reference_new (W, H, TRUE);
  for (k = 0; k < 4; k++) {
    GstBuffer *in = frame_new (&info, k);
    GstBuffer *expected = gst_buffer_copy_deep (in);
    guint8 *mask = reference_mask (ref, &info, expected);
    GstBuffer *out;

    reference_composite (&info, expected, mask, &options, c->refine);
    fail_if (buffers_equal (in, expected), "compositing changed nothing");
    fail_unless_equals_int (gst_harness_push (h, in), GST_FLOW_OK);
    out = gst_harness_pull (h);
    assert_same_bytes (out, expected, c->format, k);
    gst_buffer_unref (out);
    gst_buffer_unref (expected);
    g_free (mask);
  }
  gst_video_frame_unmap (&background);
  gst_clear_buffer (&background_rgb);
  VidraSegmenterDestroy (ref);
  gst_harness_teardown (h);
}

GST_END_TEST;

/* The mask attached with background=none, and where a setting is not
 * available for the format (said once on the bus): a frame passing as it
 * came with the plain mask attached. */
typedef struct {
  const gchar *format;
  const gchar *background;
  const gchar *refine;
} MaskCase;

static const MaskCase mask_cases[] = {
  {"RGB", "none", "false"}, {"NV12", "none", "false"},
  {"I420", "none", "false"}, {"BGRx", "none", "false"},
  {"RGBA", "none", "false"},
  {"BGRx", "transparent", "false"},     /* no alpha to hold the mask */
  {"RGB", "transparent", "true"},
  {"NV12", "none", "true"},     /* refined on the luma plane */
  {"I420", "transparent", "true"},      /* refined, no alpha to hold it */
};

GST_START_TEST (test_masks_match_instance)
{
  const MaskCase *c = &mask_cases[__i__];
  const gchar *props[] = { "background", c->background, "refine-edges",
    c->refine, NULL
  };
  const gboolean refine_here = g_str_equal (c->refine, "true");
  gint warnings = g_str_equal (c->background, "transparent");
  GstVideoInfo info;
  GstHarness *h;
  GstBus *bus = gst_bus_new ();
  VidraSegmenter *ref;
  GstMessage *msg;
  gint k;

  video_info (&info, c->format, W, H);
  h = harness_new (&info, props);
  gst_element_set_bus (h->element, bus);
  ref = reference_new (W, H, TRUE);
  for (k = 0; k < 5; k++) {
    GstBuffer *in = frame_new (&info, k);
    GstBuffer *copy = gst_buffer_copy_deep (in);
    guint8 *expected = reference_mask (ref, &info, copy);
    GstBuffer *out;

    if (k == 0)
      assert_mask_has_both (expected, W * H);
    if (refine_here) {
      GstVideoFrame frame;
      VidraImage image;
      VidraMask mask = { W, H, W, 0, expected };
      fail_unless (gst_video_frame_map (&frame, &info, copy, GST_MAP_READ));
      test_image_from_frame (&frame, &image);
      fail_unless_equals_int (VidraRefineMask (&image, &mask, NULL, &mask,
              NULL, 0), VIDRA_STATUS_OK);
      gst_video_frame_unmap (&frame);
    }
    fail_unless_equals_int (gst_harness_push (h, in), GST_FLOW_OK);
    out = gst_harness_pull (h);
    assert_mask (out, expected, W, H, c->format, k);
    assert_same_bytes (out, copy, c->format, k);
    gst_buffer_unref (out);
    gst_buffer_unref (copy);
    g_free (expected);
  }
  while ((msg = gst_bus_pop_filtered (bus, GST_MESSAGE_WARNING)) != NULL) {
    warnings--;
    gst_message_unref (msg);
  }
  fail_unless_equals_int (warnings, 0);
  gst_element_set_bus (h->element, NULL);
  gst_object_unref (bus);
  VidraSegmenterDestroy (ref);
  gst_harness_teardown (h);
}

GST_END_TEST;

/* ---- Negotiation ------------------------------------------------------ */

static const gchar *all_formats[] =
    { "NV12", "I420", "RGB", "BGR", "RGBA", "BGRA", "RGBx", "BGRx" };

GST_START_TEST (test_every_format_negotiates_as_is)
{
  const gchar *props[] = { "background", "color", NULL };
  GstVideoInfo info;
  GstHarness *h;
  GstBuffer *out;
  GstCaps *in_caps, *out_caps;

  /* Odd sizes too: the library takes any size from 2 x 2. */
  video_info (&info, all_formats[__i__], 67 - __i__ % 2, 51 - __i__ / 4);
  h = harness_new (&info, props);
  in_caps = gst_video_info_to_caps (&info);
  fail_unless (gst_pad_query_accept_caps (GST_PAD_PEER (h->srcpad), in_caps));
  fail_unless_equals_int (gst_harness_push (h, frame_new (&info, 0)),
      GST_FLOW_OK);
  out = gst_harness_pull (h);
  out_caps = gst_pad_get_current_caps (h->sinkpad);
  fail_unless (gst_caps_is_equal (in_caps, out_caps), "%" GST_PTR_FORMAT
      " became %" GST_PTR_FORMAT, in_caps, out_caps);
  fail_unless_equals_uint64 (gst_buffer_get_size (out), info.size);
  gst_caps_unref (in_caps);
  gst_caps_unref (out_caps);
  gst_buffer_unref (out);
  gst_harness_teardown (h);
}

GST_END_TEST;

GST_START_TEST (test_other_formats_and_sizes_refused)
{
  static const struct {
    const gchar *format;
    gint w, h;
  } refused[] = { {"YUY2", 64, 48}, {"GRAY8", 64, 48}, {"ARGB", 64, 48},
    {"RGB", 1, 48}, {"NV12", 64, 1}
  };
  GstHarness *h = gst_harness_new ("vidra");
  guint i;

  for (i = 0; i < G_N_ELEMENTS (refused); i++) {
    GstCaps *caps = gst_caps_new_simple ("video/x-raw", "format",
        G_TYPE_STRING, refused[i].format, "width", G_TYPE_INT, refused[i].w,
        "height", G_TYPE_INT, refused[i].h, "framerate", GST_TYPE_FRACTION, 30,
        1, NULL);
    fail_if (gst_pad_query_accept_caps (GST_PAD_PEER (h->srcpad), caps),
        "accepted %" GST_PTR_FORMAT, caps);
    gst_caps_unref (caps);
  }
  gst_harness_teardown (h);
}

GST_END_TEST;

/* ---- Settings while playing ------------------------------------------ */

GST_START_TEST (test_settings_take_effect_on_next_frame)
{
  const gchar *props[] = { "background", "none", NULL };
  const VidraCompositeOptions color = { sizeof (VidraCompositeOptions),
    VIDRA_BACKGROUND_COLOR, 0, {0x10, 0x20, 0x30, 0}, NULL
  };
  GstVideoInfo info;
  GstHarness *h;
  VidraSegmenter *kept, *fresh = NULL;
  gint k;

  video_info (&info, "RGB", W, H);
  h = harness_new (&info, props);
  kept = reference_new (W, H, TRUE);
  for (k = 0; k < 7; k++) {
    GstBuffer *in = frame_new (&info, k);
    GstBuffer *expected = gst_buffer_copy_deep (in);
    guint8 *mask_kept = reference_mask (kept, &info, expected);
    guint8 *mask = mask_kept;
    GstBuffer *out;

    if (k == 3)                 /* compositing only: the segmenter stays */
      g_object_set (h->element, "background", GST_VIDRA_BACKGROUND_COLOR,
          "color", 0xff102030u, NULL);
    if (k == 5) {               /* a parameter: a new segmenter from here on */
      g_object_set (h->element, "mask-blur", FALSE, NULL);
      fresh = reference_new (W, H, FALSE);
    }
    if (fresh != NULL) {
      mask = reference_mask (fresh, &info, expected);
      if (k == 5)               /* the two are distinguishable */
        fail_if (memcmp (mask, mask_kept, W * H) == 0);
    }
    if (k < 3) {
      fail_unless_equals_int (gst_harness_push (h, in), GST_FLOW_OK);
      out = gst_harness_pull (h);
      assert_mask (out, mask, W, H, "none", k);
    } else {
      reference_composite (&info, expected, mask, &color, FALSE);
      fail_unless_equals_int (gst_harness_push (h, in), GST_FLOW_OK);
      out = gst_harness_pull (h);
      assert_same_bytes (out, expected, "color", k);
    }
    gst_buffer_unref (out);
    gst_buffer_unref (expected);
    if (mask != mask_kept)
      g_free (mask);
    g_free (mask_kept);
  }
  VidraSegmenterDestroy (kept);
  VidraSegmenterDestroy (fresh);
  gst_harness_teardown (h);
}

GST_END_TEST;

/* A seek (flush) is a scene change: the temporal state starts again. */
GST_START_TEST (test_flush_restarts_temporal_state)
{
  const gchar *props[] = { "background", "none", NULL };
  GstVideoInfo info;
  GstHarness *h;
  VidraSegmenter *ref, *unreset;
  GstSegment segment;
  gint k;

  video_info (&info, "NV12", W, H);
  h = harness_new (&info, props);
  ref = reference_new (W, H, TRUE);
  unreset = reference_new (W, H, TRUE);
  for (k = 0; k < 5; k++) {
    GstBuffer *in = frame_new (&info, k);
    GstBuffer *copy = gst_buffer_copy_deep (in);
    guint8 *expected, *without;
    GstBuffer *out;

    if (k == 3) {
      fail_unless (gst_harness_push_event (h, gst_event_new_flush_start ()));
      fail_unless (gst_harness_push_event (h, gst_event_new_flush_stop (TRUE)));
      gst_segment_init (&segment, GST_FORMAT_TIME);
      fail_unless (gst_harness_push_event (h, gst_event_new_segment (&segment)));
      VidraSegmenterReset (ref);
    }
    expected = reference_mask (ref, &info, copy);
    without = reference_mask (unreset, &info, copy);
    if (k == 3)                 /* the reset shows in the mask */
      fail_if (memcmp (expected, without, W * H) == 0);
    fail_unless_equals_int (gst_harness_push (h, in), GST_FLOW_OK);
    out = gst_harness_pull (h);
    assert_mask (out, expected, W, H, "flush", k);
    gst_buffer_unref (out);
    gst_buffer_unref (copy);
    g_free (expected);
    g_free (without);
  }
  VidraSegmenterDestroy (ref);
  VidraSegmenterDestroy (unreset);
  gst_harness_teardown (h);
}

GST_END_TEST;

typedef struct {
  const gchar *name;
  gint good, bad;
} IntRange;

static const IntRange bad_values[] = {
  {"blur-strength", 500, 501}, {"blur-strength", 0, -1},
  {"engine-threads", 64, 65}, {"engine-threads", 0, -3},
};

GST_START_TEST (test_out_of_range_values_refused)
{
  const IntRange *r = &bad_values[__i__];
  GstElement *e = gst_element_factory_make ("vidra", NULL);
  gint value = -100;

  g_object_set (e, r->name, r->good, NULL);
  ASSERT_WARNING (g_object_set (e, r->name, r->bad, NULL));
  g_object_get (e, r->name, &value, NULL);
  fail_unless_equals_int (value, r->good);
  gst_object_unref (e);
}

GST_END_TEST;

/* ---- Errors on the bus ---------------------------------------------- */

typedef struct {
  const gchar *property;
  const gchar *location;        /* under the model folder unless absolute */
  gint code;
} LocationError;

static const LocationError location_errors[] = {
  {"model-location", "/nonexistent/vidra/models", GST_RESOURCE_ERROR_NOT_FOUND},
  {"model-location", "test/not_onnx.tesk", GST_RESOURCE_ERROR_OPEN_READ},
  {"model-location", "test/truncated.tesk", GST_RESOURCE_ERROR_OPEN_READ},
  {"image-location", "/nonexistent/background.png", GST_RESOURCE_ERROR_READ},
  {"image-location", "test/not_onnx.tesk", GST_RESOURCE_ERROR_READ},
};

GST_START_TEST (test_unusable_file_is_a_bus_error)
{
  const LocationError *c = &location_errors[__i__];
  gchar *location = g_path_is_absolute (c->location) ? g_strdup (c->location)
      : g_build_filename (model_dir, c->location, NULL);
  GstElement *pipeline = gst_parse_launch ("videotestsrc num-buffers=2 ! "
      "video/x-raw,width=64,height=48 ! vidra name=v background=image ! "
      "fakesink", NULL);
  GstElement *v = gst_bin_get_by_name (GST_BIN (pipeline), "v");
  GstBus *bus = gst_element_get_bus (pipeline);
  GstMessage *msg;
  GError *error = NULL;

  g_object_set (v, "model-location", model_dir, NULL);
  g_object_set (v, c->property, location, NULL);
  gst_element_set_state (pipeline, GST_STATE_PLAYING);
  msg = gst_bus_timed_pop_filtered (bus, 30 * GST_SECOND,
      GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
  fail_unless (msg != NULL && GST_MESSAGE_TYPE (msg) == GST_MESSAGE_ERROR);
  fail_unless (GST_MESSAGE_SRC (msg) == GST_OBJECT (v));
  gst_message_parse_error (msg, &error, NULL);
  fail_unless (error->domain == GST_RESOURCE_ERROR);
  fail_unless_equals_int (error->code, c->code);
  fail_unless (strstr (error->message, location) != NULL, "%s",
      error->message);
  g_error_free (error);
  gst_message_unref (msg);
  gst_element_set_state (pipeline, GST_STATE_NULL);
  gst_object_unref (bus);
  gst_object_unref (v);
  gst_object_unref (pipeline);
  g_free (location);
}

GST_END_TEST;

/* ---- State cycles ----------------------------------------------------- */

static gsize
heap_in_use (void)
{
  struct mallinfo2 m = mallinfo2 ();
  return m.uordblks + m.hblkhd;
}

GST_START_TEST (test_state_cycles_release_everything)
{
  GstElement *pipeline = gst_parse_launch ("videotestsrc num-buffers=3 "
      "pattern=ball ! video/x-raw,format=RGBx,width=320,height=240 ! "
      "vidra name=v refine-edges=true ! fakesink", NULL);
  GstElement *v = gst_bin_get_by_name (GST_BIN (pipeline), "v");
  GstBus *bus = gst_element_get_bus (pipeline);
  gsize warm = 0;
  gint cycle;

  g_object_set (v, "model-location", model_dir, NULL);
  for (cycle = 0; cycle < 40; cycle++) {
    GstMessage *msg;

    gst_element_set_state (pipeline, GST_STATE_PLAYING);
    msg = gst_bus_timed_pop_filtered (bus, 30 * GST_SECOND,
        GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
    fail_unless (msg != NULL && GST_MESSAGE_TYPE (msg) == GST_MESSAGE_EOS,
        "cycle %d", cycle);
    gst_message_unref (msg);
    gst_element_set_state (pipeline, GST_STATE_NULL);
    /* A segmenter is megabytes: one left behind per cycle shows. */
    if (cycle == 4)
      warm = heap_in_use ();
  }
  fail_unless (heap_in_use () < warm + 1024 * 1024,
      "heap grew from %" G_GSIZE_FORMAT " to %" G_GSIZE_FORMAT, warm,
      heap_in_use ());
  gst_object_unref (bus);
  gst_object_unref (v);
  gst_object_unref (pipeline);
}

GST_END_TEST;

/* ---- Live behaviour --------------------------------------------------- */

GST_START_TEST (test_late_frames_dropped_by_qos)
{
  GstVideoInfo info;
  GstHarness *h;
  gint k;

  video_info (&info, "NV12", 64, 48);
  h = harness_new (&info, (const gchar *[]) { "background", "none", NULL });
  fail_unless_equals_int (gst_harness_push (h, frame_new (&info, 0)),
      GST_FLOW_OK);
  /* Downstream is a second behind: frames before then are not processed. */
  fail_unless (gst_harness_push_upstream_event (h,
          gst_event_new_qos (GST_QOS_TYPE_UNDERFLOW, 0.5, GST_SECOND,
              FRAME_NS)));
  for (k = 1; k < 10; k++)
    fail_unless_equals_int (gst_harness_push (h, frame_new (&info, k)),
        GST_FLOW_OK);
  fail_unless_equals_int (gst_harness_buffers_received (h), 1);
  /* Frames after that point pass again. */
  fail_unless_equals_int (gst_harness_push (h, frame_new (&info, 70)),
      GST_FLOW_OK);
  fail_unless_equals_int (gst_harness_buffers_received (h), 2);
  gst_harness_teardown (h);
}

GST_END_TEST;

GST_START_TEST (test_latency_query_answered)
{
  GstVideoInfo info;
  GstHarness *h;
  GstQuery *q = gst_query_new_latency ();
  gboolean live = FALSE;
  GstClockTime min = 0, max = 0;

  video_info (&info, "I420", 64, 48);
  h = harness_new (&info, NULL);
  gst_harness_set_upstream_latency (h, 20 * GST_MSECOND);
  fail_unless (gst_pad_peer_query (h->sinkpad, q));
  gst_query_parse_latency (q, &live, &min, &max);
  fail_unless (live);
  fail_unless_equals_uint64 (min, 20 * GST_MSECOND);
  gst_query_unref (q);
  gst_harness_teardown (h);
}

GST_END_TEST;

GST_START_TEST (test_statistics_posted_every_interval)
{
  GstVideoInfo info;
  GstHarness *h;
  GstBus *bus = gst_bus_new ();
  GstMessage *msg;
  guint64 expected_frames = 4;
  gint k, posted = 0;

  video_info (&info, "BGR", W, H);
  h = harness_new (&info, (const gchar *[]) { "stats-interval", "4",
      "background", "color", NULL });
  gst_element_set_bus (h->element, bus);
  for (k = 0; k < 10; k++) {
    /* Frames 6 and 7 repeat frame 5: the keyframe test skips the network. */
    fail_unless_equals_int (gst_harness_push (h, frame_new (&info,
                MIN (k, 5))), GST_FLOW_OK);
    gst_buffer_unref (gst_harness_pull (h));
  }
  while ((msg = gst_bus_pop_filtered (bus, GST_MESSAGE_ELEMENT)) != NULL) {
    const GstStructure *s = gst_message_get_structure (msg);
    guint64 frames = 0;
    guint interval = 0, runs = 0, skips = 0;
    gdouble segment_ms = 0, inference_ms = 0;

    fail_unless (gst_structure_has_name (s, "vidra-stats"));
    fail_unless (gst_structure_get (s, "frames", G_TYPE_UINT64, &frames,
            "interval-frames", G_TYPE_UINT, &interval, "network-runs",
            G_TYPE_UINT, &runs, "network-skips", G_TYPE_UINT, &skips,
            "mean-segment-ms", G_TYPE_DOUBLE, &segment_ms,
            "mean-inference-ms", G_TYPE_DOUBLE, &inference_ms, NULL));
    fail_unless_equals_uint64 (frames, expected_frames);
    fail_unless_equals_int (interval, 4);
    fail_unless_equals_int (runs + skips, 4);
    if (posted == 0) {          /* new footage: the network ran throughout */
      fail_unless_equals_int (runs, 4);
    } else {                    /* frames 4..7: two repeats skipped */
      fail_unless (skips >= 2, "skips %u", skips);
    }
    fail_unless (segment_ms > 0 && inference_ms > 0
        && inference_ms < segment_ms);
    expected_frames += 4;
    posted++;
    gst_message_unref (msg);
  }
  fail_unless_equals_int (posted, 2);
  gst_element_set_bus (h->element, NULL);
  gst_object_unref (bus);
  gst_harness_teardown (h);
}

GST_END_TEST;

static Suite *
vidra_suite (void)
{
  Suite *s = suite_create ("vidra");
  TCase *tc = tcase_create ("element");

  tcase_set_timeout (tc, 120);
  suite_add_tcase (s, tc);
  tcase_add_loop_test (tc, test_masks_match_instance, 0,
      G_N_ELEMENTS (mask_cases));
  tcase_add_loop_test (tc, test_composite_matches_library, 0,
      G_N_ELEMENTS (composite_cases));
  tcase_add_loop_test (tc, test_every_format_negotiates_as_is, 0,
      G_N_ELEMENTS (all_formats));
  tcase_add_test (tc, test_other_formats_and_sizes_refused);
  tcase_add_test (tc, test_settings_take_effect_on_next_frame);
  tcase_add_test (tc, test_flush_restarts_temporal_state);
  tcase_add_loop_test (tc, test_out_of_range_values_refused, 0,
      G_N_ELEMENTS (bad_values));
  tcase_add_loop_test (tc, test_unusable_file_is_a_bus_error, 0,
      G_N_ELEMENTS (location_errors));
  tcase_add_test (tc, test_state_cycles_release_everything);
  tcase_add_test (tc, test_late_frames_dropped_by_qos);
  tcase_add_test (tc, test_latency_query_answered);
  tcase_add_test (tc, test_statistics_posted_every_interval);
  return s;
}

int
main (int argc, char **argv)
{
  gchar *path;
  int failed;

  gst_check_init (&argc, &argv);
  if (!gst_plugin_register_static (GST_VERSION_MAJOR, GST_VERSION_MINOR,
          "vidra", "vidra element under test", gst_vidra_register, "0",
          "MIT/X11", "vidra", "vidra", "vidra"))
    g_error ("registering the element failed");
  path = g_build_filename (model_dir, "test", "frames", "astronaut.ppm", NULL);
  photo = test_photo_load (path, &photo_w, &photo_h);
  if (photo == NULL)
    g_error ("cannot read %s (make models)", path);
  g_free (path);
  background_png = g_build_filename (g_get_tmp_dir (), "vidra-gst-XXXXXX.png",
      NULL);
  g_close (g_mkstemp (background_png), NULL);
  failed = gst_check_run_suite (vidra_suite (), "vidra", __FILE__);
  g_unlink (background_png);
  g_free (background_png);
  g_free (photo);
  return failed;
}
