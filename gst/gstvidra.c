#include "gst/gstvidra.h"

#include <string.h>

#include "vidra_core.h"
#include "gst/vidra_background.h"
#include "gst/vidra_frame.h"
#include "gst/vidra_mask_meta.h"
#include "gst/vidra_model_dir.h"
#include "gst/vidra_stats.h"

GST_DEBUG_CATEGORY_STATIC (gst_vidra_debug);
#define GST_CAT_DEFAULT gst_vidra_debug

#define DEFAULT_BACKGROUND GST_VIDRA_BACKGROUND_BLUR
#define DEFAULT_BLUR_STRENGTH 0
#define DEFAULT_COLOR 0xff00b140
#define DEFAULT_ENGINE_THREADS 0
#define DEFAULT_STATS_INTERVAL 0

enum {
  PROP_0,
  PROP_BACKGROUND,
  PROP_BLUR_STRENGTH,
  PROP_COLOR,
  PROP_IMAGE_LOCATION,
  PROP_REFINE_EDGES,
  PROP_LARGEST_REGION,
  PROP_MASK_BLUR,
  PROP_SMOOTHING,
  PROP_MODEL_LOCATION,
  PROP_ENGINE_THREADS,
  PROP_STATS_INTERVAL
};

/* The properties; the streaming thread copies them once per frame. */
typedef struct {
  GstVidraBackground background;
  gint blur_strength;
  guint color;
  gchar *image_location;
  gboolean refine_edges;
  gboolean largest_region;
  gboolean mask_blur;
  gboolean smoothing;
  gchar *model_location;
  gint engine_threads;
  guint stats_interval;
} Settings;

/* What the live segmenter was created with: any change re-creates it. */
typedef struct {
  gint width, height;
  gchar *model_location;
  gint engine_threads;
  gboolean largest_region, mask_blur, smoothing;
} SegmenterKey;

struct _GstVidra {
  GstVideoFilter parent;

  Settings settings;            /* guarded by the object lock */

  /* Streaming thread only (and start/stop, when it is not running). */
  VidraSegmenter *segmenter;
  SegmenterKey key;
  gint reset_pending;           /* atomic: forget the temporal state */
  guint8 *mask;
  gsize mask_size;
  guint8 *scratch;
  gsize scratch_size;
  GstBuffer *pending_mask;      /* attached once the frame is unmapped */
  GstBufferPool *mask_pool;     /* attached masks, recycled when released */
  gsize mask_pool_size;
  GstVidraBackgroundImage bg;
  GstVidraStats stats;
  gboolean warned_transparent;
  gchar *last_error;            /* the library's reason for a failed call */
};

G_DEFINE_TYPE (GstVidra, gst_vidra, GST_TYPE_VIDEO_FILTER);

static const gchar *default_model_location;

static GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE ("sink",
    GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS (GST_VIDEO_CAPS_MAKE (GST_VIDRA_FORMATS)
        ", width = (int) [ 2, MAX ], height = (int) [ 2, MAX ]"));
static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE ("src",
    GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS (GST_VIDEO_CAPS_MAKE (GST_VIDRA_FORMATS)
        ", width = (int) [ 2, MAX ], height = (int) [ 2, MAX ]"));

static GType
gst_vidra_background_get_type (void)
{
  static GType type = 0;
  static const GEnumValue values[] = {
    {GST_VIDRA_BACKGROUND_BLUR, "The frame's own background, blurred", "blur"},
    {GST_VIDRA_BACKGROUND_COLOR, "One colour (property color)", "color"},
    {GST_VIDRA_BACKGROUND_IMAGE,
        "A picture file scaled to the frame (property image-location)", "image"},
    {GST_VIDRA_BACKGROUND_TRANSPARENT,
          "Frame unchanged, the mask as alpha (RGBA/BGRA; other formats as "
          "none)", "transparent"},
    {GST_VIDRA_BACKGROUND_NONE,
          "Frame unchanged; the mask attached as a GstVideoRegionOfInterestMeta "
          "\"" GST_VIDRA_MASK_ROI_TYPE "\" with the GstBuffer in its \""
          GST_VIDRA_MASK_PARAM "\" parameter", "none"},
    {0, NULL, NULL}
  };
  if (g_once_init_enter (&type)) {
    GType t = g_enum_register_static ("GstVidraBackground", values);
    g_once_init_leave (&type, t);
  }
  return type;
}

static void
settings_copy (Settings * dst, const Settings * src)
{
  *dst = *src;
  dst->image_location = g_strdup (src->image_location);
  dst->model_location = g_strdup (src->model_location);
}

static void
settings_clear (Settings * s)
{
  g_clear_pointer (&s->image_location, g_free);
  g_clear_pointer (&s->model_location, g_free);
}

static void
on_library_log (void *user, int32_t level, const char *message)
{
  GstVidra *self = user;

  switch (level) {
    case VIDRA_LOG_ERROR:
      GST_WARNING_OBJECT (self, "%s", message);
      g_free (self->last_error);
      self->last_error = g_strdup (message);
      break;
    case VIDRA_LOG_WARNING:
      GST_WARNING_OBJECT (self, "%s", message);
      break;
    case VIDRA_LOG_INFO:
      GST_INFO_OBJECT (self, "%s", message);
      break;
    default:
      GST_LOG_OBJECT (self, "%s", message);
      break;
  }
}

static void
destroy_segmenter (GstVidra * self)
{
  VidraSegmenterDestroy (self->segmenter);
  self->segmenter = NULL;
  g_clear_pointer (&self->key.model_location, g_free);
}

static gboolean
key_matches (const SegmenterKey * key, const Settings * s, gint width,
    gint height)
{
  return key->width == width && key->height == height
      && g_strcmp0 (key->model_location, s->model_location) == 0
      && key->engine_threads == s->engine_threads
      && key->largest_region == s->largest_region
      && key->mask_blur == s->mask_blur && key->smoothing == s->smoothing;
}

/* A segmenter for this frame size and these settings; on failure the error
 * is on the bus. */
static gboolean
ensure_segmenter (GstVidra * self, const Settings * s, gint width, gint height)
{
  VidraSegmenterOptions options;
  SegParams params;
  int32_t status;

  if (self->segmenter != NULL && key_matches (&self->key, s, width, height))
    return TRUE;
  destroy_segmenter (self);

  params = kSegParams144x80;
  params.ConnectedComponentLabeling = s->largest_region;
  params.MaskBlur = s->mask_blur;
  params.MultiFrameSmooth = s->smoothing;
  VidraSegmenterOptionsInit (&options);
  options.width = width;
  options.height = height;
  options.modelPath = s->model_location != NULL ? s->model_location : "";
  options.params = &params;
  options.engineThreads = s->engine_threads;
  /* The per-frame trace is formatted only when someone reads it. */
  options.logLevel = gst_debug_category_get_threshold (GST_CAT_DEFAULT)
      >= GST_LEVEL_LOG ? VIDRA_LOG_DEBUG : VIDRA_LOG_INFO;
  options.logCallback = on_library_log;
  options.logUser = self;
  g_clear_pointer (&self->last_error, g_free);

  status = VidraSegmenterCreate (&options, &self->segmenter);
  if (status != VIDRA_STATUS_OK) {
    const gchar *why = self->last_error != NULL ? self->last_error : "";
    self->segmenter = NULL;
    if (status == VIDRA_STATUS_MODEL_NOT_FOUND) {
      GST_ELEMENT_ERROR (self, RESOURCE, NOT_FOUND,
          ("No vidra model found at \"%s\": set model-location to the model "
              "folder or file.", options.modelPath), ("%s: %s",
              VidraStatusString (status), why));
    } else if (status == VIDRA_STATUS_MODEL_UNUSABLE) {
      GST_ELEMENT_ERROR (self, RESOURCE, OPEN_READ,
          ("The vidra model at \"%s\" is unusable.", options.modelPath),
          ("%s: %s", VidraStatusString (status), why));
    } else {
      GST_ELEMENT_ERROR (self, LIBRARY, INIT,
          ("Could not create the segmenter for %dx%d frames: %s.", width,
              height, VidraStatusString (status)), ("%s", why));
    }
    return FALSE;
  }
  self->key.width = width;
  self->key.height = height;
  self->key.model_location = g_strdup (s->model_location);
  self->key.engine_threads = s->engine_threads;
  self->key.largest_region = s->largest_region;
  self->key.mask_blur = s->mask_blur;
  self->key.smoothing = s->smoothing;
  g_atomic_int_set (&self->reset_pending, 0);
  return TRUE;
}

static guint8 *
ensure_bytes (guint8 ** bytes, gsize * size, gsize need)
{
  if (*size < need) {
    g_free (*bytes);
    *bytes = g_malloc (need);
    *size = need;
  }
  return *bytes;
}

static gboolean
refine_mask (GstVidra * self, const VidraImage * image, VidraMask * mask)
{
  size_t need = 0;
  int32_t status = VidraRefineScratchSize (image->width, image->height, NULL,
      &need);

  if (status == VIDRA_STATUS_OK) {
    ensure_bytes (&self->scratch, &self->scratch_size, need);
    status = VidraRefineMask (image, mask, NULL, mask, self->scratch, need);
  }
  if (status != VIDRA_STATUS_OK) {
    GST_ELEMENT_ERROR (self, STREAM, FAILED,
        ("Edge refinement failed: %s.", VidraStatusString (status)), (NULL));
    return FALSE;
  }
  return TRUE;
}

static gboolean
composite (GstVidra * self, const Settings * s, const GstVideoFrame * frame,
    VidraImage * image, const VidraMask * mask)
{
  VidraCompositeOptions options;
  VidraImage background;
  size_t need = 0;
  int32_t status;

  memset (&options, 0, sizeof (options));
  options.structSize = sizeof (options);
  switch (s->background) {
    case GST_VIDRA_BACKGROUND_BLUR:
      options.background = VIDRA_BACKGROUND_BLUR;
      options.blurStrength = s->blur_strength > 0 ? s->blur_strength
          : MAX (2, MIN (image->width, image->height) / 40);
      break;
    case GST_VIDRA_BACKGROUND_COLOR:
      options.background = VIDRA_BACKGROUND_COLOR;
      options.color[0] = (s->color >> 16) & 0xff;
      options.color[1] = (s->color >> 8) & 0xff;
      options.color[2] = s->color & 0xff;
      options.color[3] = 0xff;
      break;
    case GST_VIDRA_BACKGROUND_IMAGE:{
      GError *error = NULL;
      if (!gst_vidra_background_load (&self->bg, s->image_location,
              &frame->info, &error)) {
        GST_ELEMENT_ERROR (self, RESOURCE, READ,
            ("Could not read the background image \"%s\": %s.",
                GST_STR_NULL (s->image_location), error->message), (NULL));
        g_error_free (error);
        return FALSE;
      }
      gst_vidra_image_from_frame (&self->bg.frame, &background);
      options.background = VIDRA_BACKGROUND_IMAGE;
      options.image = &background;
      break;
    }
    case GST_VIDRA_BACKGROUND_TRANSPARENT:
      options.background = VIDRA_BACKGROUND_TRANSPARENT;
      break;
    default:
      return TRUE;
  }
  status = VidraCompositeScratchSize (image->width, image->height, &options,
      &need);
  if (status == VIDRA_STATUS_OK) {
    ensure_bytes (&self->scratch, &self->scratch_size, need);
    status = VidraComposite (image, mask, &options, image, self->scratch, need);
  }
  if (status != VIDRA_STATUS_OK) {
    GST_ELEMENT_ERROR (self, STREAM, FAILED,
        ("Compositing %s frames failed: %s.",
            gst_video_format_to_string (GST_VIDEO_FRAME_FORMAT (frame)),
            VidraStatusString (status)), (NULL));
    return FALSE;
  }
  return TRUE;
}

static gdouble
ms_since (gint64 start)
{
  return (g_get_monotonic_time () - start) / 1000.0;
}

/* Settings this format cannot take: each warned once while it stays set. */
static void
warn_unavailable (GstVidra * self, const Settings * s,
    const GstVideoFrame * frame, gboolean alpha)
{
  if (s->background != GST_VIDRA_BACKGROUND_TRANSPARENT)
    self->warned_transparent = FALSE;
  if (s->background == GST_VIDRA_BACKGROUND_TRANSPARENT && !alpha
      && !self->warned_transparent) {
    GST_ELEMENT_WARNING (self, STREAM, FORMAT,
        ("background=transparent needs RGBA or BGRA; the %s frames pass "
            "unchanged with the mask attached.",
            gst_video_format_to_string (GST_VIDEO_FRAME_FORMAT (frame))),
        (NULL));
    self->warned_transparent = TRUE;
  }
}

/* A buffer for an attached mask of size bytes, from a pool of them: a
 * fresh allocation of a frame's mask each frame costs page faults. */
static GstBuffer *
acquire_mask_buffer (GstVidra * self, gsize size)
{
  GstBuffer *buffer = NULL;

  if (self->mask_pool != NULL && self->mask_pool_size != size) {
    gst_buffer_pool_set_active (self->mask_pool, FALSE);
    gst_clear_object (&self->mask_pool);
  }
  if (self->mask_pool == NULL) {
    GstStructure *config;
    self->mask_pool = gst_buffer_pool_new ();
    self->mask_pool_size = size;
    config = gst_buffer_pool_get_config (self->mask_pool);
    gst_buffer_pool_config_set_params (config, NULL, (guint) size, 2, 0);
    if (!gst_buffer_pool_set_config (self->mask_pool, config)
        || !gst_buffer_pool_set_active (self->mask_pool, TRUE)) {
      gst_clear_object (&self->mask_pool);
      return NULL;
    }
  }
  if (gst_buffer_pool_acquire_buffer (self->mask_pool, &buffer, NULL)
      != GST_FLOW_OK)
    return NULL;
  return buffer;
}

static GstFlowReturn
process (GstVidra * self, GstVideoFrame * frame, const Settings * s)
{
  const gint width = GST_VIDEO_FRAME_WIDTH (frame);
  const gint height = GST_VIDEO_FRAME_HEIGHT (frame);
  const gboolean alpha =
      gst_vidra_format_has_alpha (GST_VIDEO_FRAME_FORMAT (frame));
  const gboolean attach = s->background == GST_VIDRA_BACKGROUND_NONE
      || (s->background == GST_VIDRA_BACKGROUND_TRANSPARENT && !alpha);
  const gsize mask_bytes = (gsize) width * height;
  GstVidraFrameCost cost = { 0 };
  GstBuffer *mask_buffer = NULL;
  GstMapInfo map;
  VidraImage image;
  VidraMask mask;
  VidraFrameInfo info;
  GstStructure *report;
  gint64 start;
  int32_t status;

  if (!ensure_segmenter (self, s, width, height))
    return GST_FLOW_ERROR;
  if (g_atomic_int_compare_and_exchange (&self->reset_pending, 1, 0))
    VidraSegmenterReset (self->segmenter);
  warn_unavailable (self, s, frame, alpha);

  memset (&mask, 0, sizeof (mask));
  mask.width = width;
  mask.height = height;
  mask.stride = width;
  if (attach) {
    mask_buffer = acquire_mask_buffer (self, mask_bytes);
    if (mask_buffer == NULL || !gst_buffer_map (mask_buffer, &map,
            GST_MAP_WRITE)) {
      gst_clear_buffer (&mask_buffer);
      GST_ELEMENT_ERROR (self, RESOURCE, NO_SPACE_LEFT,
          ("Could not allocate the mask."), (NULL));
      return GST_FLOW_ERROR;
    }
    mask.data = map.data;
  } else {
    mask.data = ensure_bytes (&self->mask, &self->mask_size, mask_bytes);
  }

  gst_vidra_image_from_frame (frame, &image);
  memset (&info, 0, sizeof (info));
  info.structSize = sizeof (info);
  status = VidraSegmenterProcessWithInfo (self->segmenter, &image, &mask,
      &info);
  if (status == VIDRA_STATUS_OK) {
    cost.network_ran = info.networkRan;
    cost.input_ms = info.inputMs;
    cost.inference_ms = info.inferenceMs;
    cost.postprocess_ms = info.postprocessMs;
    cost.segment_ms = info.totalMs;
    start = g_get_monotonic_time ();
    if (s->refine_edges && !refine_mask (self, &image, &mask))
      status = VIDRA_STATUS_INTERNAL_ERROR;
    else if (!attach && !composite (self, s, frame, &image, &mask))
      status = VIDRA_STATUS_INTERNAL_ERROR;
    cost.composite_ms = ms_since (start);
  } else {
    GST_ELEMENT_ERROR (self, STREAM, FAILED,
        ("Segmentation failed: %s.", VidraStatusString (status)),
        ("%s", GST_STR_NULL (self->last_error)));
  }
  if (mask_buffer != NULL) {
    gst_buffer_unmap (mask_buffer, &map);
    if (status == VIDRA_STATUS_OK)
      gst_buffer_replace (&self->pending_mask, mask_buffer);
    gst_buffer_unref (mask_buffer);
  }
  if (status != VIDRA_STATUS_OK)
    return GST_FLOW_ERROR;

  report = gst_vidra_stats_add (&self->stats, &cost, s->stats_interval);
  if (report != NULL)
    gst_element_post_message (GST_ELEMENT (self),
        gst_message_new_element (GST_OBJECT (self), report));
  return GST_FLOW_OK;
}

static GstFlowReturn
gst_vidra_transform_frame_ip (GstVideoFilter * filter, GstVideoFrame * frame)
{
  GstVidra *self = GST_VIDRA (filter);
  GstFlowReturn ret;
  Settings s;

  GST_OBJECT_LOCK (self);
  settings_copy (&s, &self->settings);
  GST_OBJECT_UNLOCK (self);
  ret = process (self, frame, &s);
  settings_clear (&s);
  return ret;
}

/* The frame is mapped (and so referenced) while transform_frame_ip runs;
 * the mask meta goes on the buffer once the base class has let go of it. */
static GstFlowReturn
gst_vidra_transform_ip (GstBaseTransform * trans, GstBuffer * buffer)
{
  GstVidra *self = GST_VIDRA (trans);
  GstFlowReturn ret =
      GST_BASE_TRANSFORM_CLASS (gst_vidra_parent_class)->transform_ip (trans,
      buffer);

  if (self->pending_mask != NULL) {
    if (ret == GST_FLOW_OK)
      gst_vidra_attach_mask (buffer, self->pending_mask,
          self->key.width, self->key.height, self->key.width);
    gst_clear_buffer (&self->pending_mask);
  }
  return ret;
}

static gboolean
gst_vidra_sink_event (GstBaseTransform * trans, GstEvent * event)
{
  GstVidra *self = GST_VIDRA (trans);

  /* A seek or a new stream is a scene change: the next frame starts fresh. */
  if (GST_EVENT_TYPE (event) == GST_EVENT_FLUSH_STOP
      || GST_EVENT_TYPE (event) == GST_EVENT_STREAM_START)
    g_atomic_int_set (&self->reset_pending, 1);
  return GST_BASE_TRANSFORM_CLASS (gst_vidra_parent_class)->sink_event (trans,
      event);
}

static void
release_stream_state (GstVidra * self)
{
  destroy_segmenter (self);
  g_clear_pointer (&self->mask, g_free);
  self->mask_size = 0;
  g_clear_pointer (&self->scratch, g_free);
  self->scratch_size = 0;
  gst_clear_buffer (&self->pending_mask);
  if (self->mask_pool != NULL) {
    gst_buffer_pool_set_active (self->mask_pool, FALSE);
    gst_clear_object (&self->mask_pool);
  }
  gst_vidra_background_clear (&self->bg);
  gst_vidra_stats_reset (&self->stats);
  self->warned_transparent = FALSE;
  g_clear_pointer (&self->last_error, g_free);
}

static gboolean
gst_vidra_start (GstBaseTransform * trans)
{
  release_stream_state (GST_VIDRA (trans));
  return TRUE;
}

static gboolean
gst_vidra_stop (GstBaseTransform * trans)
{
  release_stream_state (GST_VIDRA (trans));
  return TRUE;
}

static void
gst_vidra_set_property (GObject * object, guint prop_id, const GValue * value,
    GParamSpec * pspec)
{
  GstVidra *self = GST_VIDRA (object);
  Settings *s = &self->settings;

  GST_OBJECT_LOCK (self);
  switch (prop_id) {
    case PROP_BACKGROUND:
      s->background = g_value_get_enum (value);
      break;
    case PROP_BLUR_STRENGTH:
      s->blur_strength = g_value_get_int (value);
      break;
    case PROP_COLOR:
      s->color = g_value_get_uint (value);
      break;
    case PROP_IMAGE_LOCATION:
      g_free (s->image_location);
      s->image_location = g_value_dup_string (value);
      break;
    case PROP_REFINE_EDGES:
      s->refine_edges = g_value_get_boolean (value);
      break;
    case PROP_LARGEST_REGION:
      s->largest_region = g_value_get_boolean (value);
      break;
    case PROP_MASK_BLUR:
      s->mask_blur = g_value_get_boolean (value);
      break;
    case PROP_SMOOTHING:
      s->smoothing = g_value_get_boolean (value);
      break;
    case PROP_MODEL_LOCATION:
      g_free (s->model_location);
      s->model_location = g_value_dup_string (value);
      if (s->model_location == NULL)
        s->model_location = g_strdup (default_model_location);
      break;
    case PROP_ENGINE_THREADS:
      s->engine_threads = g_value_get_int (value);
      break;
    case PROP_STATS_INTERVAL:
      s->stats_interval = g_value_get_uint (value);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, prop_id, pspec);
      break;
  }
  GST_OBJECT_UNLOCK (self);
}

static void
gst_vidra_get_property (GObject * object, guint prop_id, GValue * value,
    GParamSpec * pspec)
{
  GstVidra *self = GST_VIDRA (object);
  const Settings *s = &self->settings;

  GST_OBJECT_LOCK (self);
  switch (prop_id) {
    case PROP_BACKGROUND:
      g_value_set_enum (value, s->background);
      break;
    case PROP_BLUR_STRENGTH:
      g_value_set_int (value, s->blur_strength);
      break;
    case PROP_COLOR:
      g_value_set_uint (value, s->color);
      break;
    case PROP_IMAGE_LOCATION:
      g_value_set_string (value, s->image_location);
      break;
    case PROP_REFINE_EDGES:
      g_value_set_boolean (value, s->refine_edges);
      break;
    case PROP_LARGEST_REGION:
      g_value_set_boolean (value, s->largest_region);
      break;
    case PROP_MASK_BLUR:
      g_value_set_boolean (value, s->mask_blur);
      break;
    case PROP_SMOOTHING:
      g_value_set_boolean (value, s->smoothing);
      break;
    case PROP_MODEL_LOCATION:
      g_value_set_string (value, s->model_location);
      break;
    case PROP_ENGINE_THREADS:
      g_value_set_int (value, s->engine_threads);
      break;
    case PROP_STATS_INTERVAL:
      g_value_set_uint (value, s->stats_interval);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, prop_id, pspec);
      break;
  }
  GST_OBJECT_UNLOCK (self);
}

static void
gst_vidra_finalize (GObject * object)
{
  GstVidra *self = GST_VIDRA (object);

  release_stream_state (self);
  settings_clear (&self->settings);
  G_OBJECT_CLASS (gst_vidra_parent_class)->finalize (object);
}

static void
gst_vidra_init (GstVidra * self)
{
  Settings *s = &self->settings;

  s->background = DEFAULT_BACKGROUND;
  s->blur_strength = DEFAULT_BLUR_STRENGTH;
  s->color = DEFAULT_COLOR;
  s->largest_region = kSegParams144x80.ConnectedComponentLabeling;
  s->mask_blur = kSegParams144x80.MaskBlur;
  s->smoothing = kSegParams144x80.MultiFrameSmooth;
  s->model_location = g_strdup (default_model_location);
  s->engine_threads = DEFAULT_ENGINE_THREADS;
  s->stats_interval = DEFAULT_STATS_INTERVAL;
  gst_base_transform_set_in_place (GST_BASE_TRANSFORM (self), TRUE);
  gst_base_transform_set_qos_enabled (GST_BASE_TRANSFORM (self), TRUE);
}

static void
gst_vidra_class_init (GstVidraClass * klass)
{
  GObjectClass *gobject_class = G_OBJECT_CLASS (klass);
  GstElementClass *element_class = GST_ELEMENT_CLASS (klass);
  GstBaseTransformClass *trans_class = GST_BASE_TRANSFORM_CLASS (klass);
  GstVideoFilterClass *filter_class = GST_VIDEO_FILTER_CLASS (klass);
  const GParamFlags flags = G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS
      | GST_PARAM_MUTABLE_PLAYING;

  GST_DEBUG_CATEGORY_INIT (gst_vidra_debug, "vidra", 0,
      "vidra person segmentation");
  default_model_location = gst_vidra_default_model_dir ();

  gobject_class->set_property = gst_vidra_set_property;
  gobject_class->get_property = gst_vidra_get_property;
  gobject_class->finalize = gst_vidra_finalize;

  g_object_class_install_property (gobject_class, PROP_BACKGROUND,
      g_param_spec_enum ("background", "Background",
          "What to put behind the person", gst_vidra_background_get_type (),
          DEFAULT_BACKGROUND, flags));
  g_object_class_install_property (gobject_class, PROP_BLUR_STRENGTH,
      g_param_spec_int ("blur-strength", "Blur strength",
          "Background blur, about its standard deviation in pixels "
          "(0 = shorter side / 40)", 0, 500, DEFAULT_BLUR_STRENGTH, flags));
  g_object_class_install_property (gobject_class, PROP_COLOR,
      g_param_spec_uint ("color", "Color",
          "Background colour of background=color, as 0xAARRGGBB (alpha "
          "ignored)", 0, G_MAXUINT32, DEFAULT_COLOR, flags));
  g_object_class_install_property (gobject_class, PROP_IMAGE_LOCATION,
      g_param_spec_string ("image-location", "Image location",
          "Picture file of background=image (any format GStreamer decodes), "
          "scaled to the frame", NULL, flags));
  g_object_class_install_property (gobject_class, PROP_REFINE_EDGES,
      g_param_spec_boolean ("refine-edges", "Refine edges",
          "Pull the mask's edge onto the edges of the picture (guided filter, "
          "guided by the luminance; every format)",
          FALSE, flags));
  g_object_class_install_property (gobject_class, PROP_LARGEST_REGION,
      g_param_spec_boolean ("largest-region", "Largest region",
          "Keep only the largest person region (re-creates the segmenter)",
          kSegParams144x80.ConnectedComponentLabeling, flags));
  g_object_class_install_property (gobject_class, PROP_MASK_BLUR,
      g_param_spec_boolean ("mask-blur", "Mask blur",
          "Soften the mask at its edges (re-creates the segmenter)",
          kSegParams144x80.MaskBlur, flags));
  g_object_class_install_property (gobject_class, PROP_SMOOTHING,
      g_param_spec_boolean ("smoothing", "Smoothing",
          "Damp flicker across frames (re-creates the segmenter)",
          kSegParams144x80.MultiFrameSmooth, flags));
  g_object_class_install_property (gobject_class, PROP_MODEL_LOCATION,
      g_param_spec_string ("model-location", "Model location",
          "Model folder or .tesk file (default: $VIDRA_MODEL_DIR, else the "
          "installed models; re-creates the segmenter)",
          default_model_location, flags));
  g_object_class_install_property (gobject_class, PROP_ENGINE_THREADS,
      g_param_spec_int ("engine-threads", "Engine threads",
          "Inference threads of this element's segmenter (0 = the streaming "
          "thread only; re-creates the segmenter)", 0, 64,
          DEFAULT_ENGINE_THREADS, flags));
  g_object_class_install_property (gobject_class, PROP_STATS_INTERVAL,
      g_param_spec_uint ("stats-interval", "Statistics interval",
          "Post a \"vidra-stats\" element message every this many frames "
          "(0 = never)", 0, G_MAXUINT, DEFAULT_STATS_INTERVAL, flags));

  gst_element_class_set_static_metadata (element_class,
      "vidra person segmentation", "Filter/Effect/Video",
      "Separates the person from the background and replaces, blurs or "
      "keys out the background", "vidra developers");
  gst_element_class_add_static_pad_template (element_class, &sink_template);
  gst_element_class_add_static_pad_template (element_class, &src_template);

  trans_class->passthrough_on_same_caps = FALSE;
  trans_class->transform_ip_on_passthrough = FALSE;
  trans_class->start = gst_vidra_start;
  trans_class->stop = gst_vidra_stop;
  trans_class->sink_event = gst_vidra_sink_event;
  filter_class->transform_frame_ip = gst_vidra_transform_frame_ip;
  /* After the parent class set its own transform_ip. */
  trans_class->transform_ip = gst_vidra_transform_ip;

  gst_type_mark_as_plugin_api (gst_vidra_background_get_type (), 0);
}

gboolean
gst_vidra_register (GstPlugin * plugin)
{
  return gst_element_register (plugin, "vidra", GST_RANK_NONE, GST_TYPE_VIDRA);
}
