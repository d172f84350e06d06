/* How many 1280x720 NV12 streams one process segments: the same raw
 * footage through N vidra elements (one pipeline branch per stream, each on
 * its own streaming thread) or through N segmenter instances shared by T
 * threads of the C API. Prints the aggregate frame rate, CPU time per frame
 * and the network runs; bench/gst_streams.sh drives it.
 *
 *   stream_capacity gst  CLIP.nv12 WIDTH HEIGHT STREAMS FRAMES [BACKGROUND]
 *   stream_capacity capi CLIP.nv12 WIDTH HEIGHT STREAMS FRAMES THREADS MODELS
 *
 * The clip's frames are read once into memory and handed out round robin
 * (each stream starting at its own offset), so the input costs nothing. */
#include <gst/gst.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

#include "vidra_core.h"

typedef struct {
  guint8 *bytes;
  gsize frame_size;
  gint count;
  gint width, height;
} Clip;

static double
now_s (void)
{
  struct timespec t;
  clock_gettime (CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

static double
cpu_s (void)
{
  struct rusage u;
  getrusage (RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec
      + u.ru_stime.tv_usec / 1e6;
}

static gboolean
clip_load (Clip * clip, const char *path, gint width, gint height)
{
  gchar *contents = NULL;
  gsize size = 0;

  if (!g_file_get_contents (path, &contents, &size, NULL))
    return FALSE;
  clip->width = width;
  clip->height = height;
  clip->frame_size = (gsize) width * height * 3 / 2;
  clip->count = (gint) (size / clip->frame_size);
  clip->bytes = (guint8 *) contents;
  return clip->count >= 2;
}

static const guint8 *
clip_frame (const Clip * clip, gint stream, gint k)
{
  return clip->bytes + ((stream * 7 + k) % clip->count) * clip->frame_size;
}

static void
report (const char *what, gint streams, gint frames, double wall, double cpu,
    guint64 runs)
{
  const double total = (double) streams * frames;
  printf ("%s: %d streams x %d frames in %.2f s: %.1f fps in all, %.1f fps "
      "per stream\n", what, streams, frames, wall, total / wall,
      total / wall / streams);
  printf ("%s: CPU %.2f s, %.2f ms per frame, %.1f%% of a core per 30 fps "
      "stream\n", what, cpu, 1000 * cpu / total, 100 * 30 * cpu / total);
  if (runs > 0)
    printf ("%s: network ran on %" G_GUINT64_FORMAT " of %.0f frames\n", what,
        runs, total);
  printf ("%s: 30 fps streams held: %d by the clock, %d by CPU time on %d "
      "cores\n", what, (int) (total / wall / 30),
      (int) (g_get_num_processors () * total / cpu / 30),
      g_get_num_processors ());
}

/* ---- GStreamer: one appsrc ! vidra ! fakesink branch per stream -------- */

typedef struct {
  const Clip *clip;
  gint stream, next, frames;
  gboolean copy;                /* the element writes: one buffer each */
} Feed;

static void
feed_need_data (GstAppSrc * src, guint length, gpointer user)
{
  Feed *f = user;
  GstBuffer *b;
  (void) length;

  if (f->next == f->frames) {
    gst_app_src_end_of_stream (src);
    return;
  }
  if (f->copy) {
    b = gst_buffer_new_allocate (NULL, f->clip->frame_size, NULL);
    gst_buffer_fill (b, 0, clip_frame (f->clip, f->stream, f->next),
        f->clip->frame_size);
  } else {
    b = gst_buffer_new_wrapped_full (0, (gpointer) clip_frame (f->clip,
            f->stream, f->next), f->clip->frame_size, 0, f->clip->frame_size,
        NULL, NULL);
  }
  GST_BUFFER_PTS (b) = gst_util_uint64_scale (f->next, GST_SECOND, 30);
  GST_BUFFER_DURATION (b) = GST_SECOND / 30;
  f->next++;
  gst_app_src_push_buffer (src, b);
}

static int
run_gst (const Clip * clip, gint streams, gint frames, const char *background)
{
  GstElement *pipeline = gst_pipeline_new (NULL);
  Feed *feeds = g_new0 (Feed, streams);
  GstCaps *caps = gst_caps_new_simple ("video/x-raw", "format", G_TYPE_STRING,
      "NV12", "width", G_TYPE_INT, clip->width, "height", G_TYPE_INT,
      clip->height, "framerate", GST_TYPE_FRACTION, 30, 1, NULL);
  GstBus *bus = gst_element_get_bus (pipeline);
  GstAppSrcCallbacks callbacks = { feed_need_data, NULL, NULL, {NULL} };
  gint i, eos = 0;
  guint64 runs = 0;
  double t0, c0;
  int failed = 0;

  for (i = 0; i < streams; i++) {
    GstElement *src = gst_element_factory_make ("appsrc", NULL);
    GstElement *seg = gst_element_factory_make ("vidra", NULL);
    GstElement *sink = gst_element_factory_make ("fakesink", NULL);
    if (seg == NULL) {
      fprintf (stderr, "no element vidra: set GST_PLUGIN_PATH\n");
      return 1;
    }
    feeds[i] = (Feed) {
    clip, i, 0, frames, strcmp (background, "none") != 0};
    g_object_set (src, "caps", caps, "format", GST_FORMAT_TIME, "max-bytes",
        (guint64) clip->frame_size * 2, NULL);
    gst_app_src_set_callbacks (GST_APP_SRC (src), &callbacks, &feeds[i], NULL);
    gst_util_set_object_arg (G_OBJECT (seg), "background", background);
    g_object_set (seg, "stats-interval", (guint) frames, NULL);
    g_object_set (sink, "sync", FALSE, NULL);
    gst_bin_add_many (GST_BIN (pipeline), src, seg, sink, NULL);
    gst_element_link_many (src, seg, sink, NULL);
  }
  gst_caps_unref (caps);

  t0 = now_s ();
  c0 = cpu_s ();
  gst_element_set_state (pipeline, GST_STATE_PLAYING);
  /* The pipeline posts EOS once every sink has it. */
  while (eos == 0) {
    GstMessage *m = gst_bus_timed_pop_filtered (bus, GST_CLOCK_TIME_NONE,
        GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_ELEMENT);
    if (GST_MESSAGE_TYPE (m) == GST_MESSAGE_ERROR) {
      GError *e = NULL;
      gst_message_parse_error (m, &e, NULL);
      fprintf (stderr, "error: %s\n", e->message);
      g_error_free (e);
      failed = 1;
      eos = 1;
    } else if (GST_MESSAGE_TYPE (m) == GST_MESSAGE_EOS) {
      eos = 1;
    } else {
      const GstStructure *s = gst_message_get_structure (m);
      guint r = 0;
      if (gst_structure_has_name (s, "vidra-stats")
          && gst_structure_get_uint (s, "network-runs", &r))
        runs += r;
    }
    gst_message_unref (m);
  }
  if (!failed)
    report ("gst", streams, frames, now_s () - t0, cpu_s () - c0, runs);
  gst_element_set_state (pipeline, GST_STATE_NULL);
  gst_object_unref (bus);
  gst_object_unref (pipeline);
  g_free (feeds);
  return failed;
}

/* ---- C API: STREAMS instances served by THREADS threads --------------- */

typedef struct {
  const Clip *clip;
  VidraSegmenter **segs;
  gint first, step, streams, frames;
  guint8 *mask;
  int failed;
} Worker;

static void *
worker_run (void *user)
{
  Worker *w = user;
  const gint width = w->clip->width, height = w->clip->height;
  VidraMask mask = { width, height, width, 0, w->mask };
  gint k, s;

  /* Frame by frame across this thread's streams, as frames arrive. */
  for (k = 0; k < w->frames && !w->failed; k++) {
    for (s = w->first; s < w->streams; s += w->step) {
      guint8 *y = (guint8 *) clip_frame (w->clip, s, k);
      VidraImage image = { width, height, VIDRA_PIXEL_NV12, 0,
        {y, y + (gsize) width * height, NULL}, {width, width, 0}
      };
      if (VidraSegmenterProcess (w->segs[s], &image, &mask) != VIDRA_STATUS_OK)
        w->failed = 1;
    }
  }
  return NULL;
}

static int
run_capi (const Clip * clip, gint streams, gint frames, gint threads,
    const char *models)
{
  VidraSegmenter **segs = g_new0 (VidraSegmenter *, streams);
  Worker *workers = g_new0 (Worker, threads);
  pthread_t *ids = g_new0 (pthread_t, threads);
  double t0, c0;
  int failed = 0;
  gint i;

  for (i = 0; i < streams; i++) {
    VidraSegmenterOptions o;
    VidraSegmenterOptionsInit (&o);
    o.width = clip->width;
    o.height = clip->height;
    o.modelPath = models;
    if (VidraSegmenterCreate (&o, &segs[i]) != VIDRA_STATUS_OK) {
      fprintf (stderr, "creating instance %d failed\n", i);
      return 1;
    }
  }
  t0 = now_s ();
  c0 = cpu_s ();
  for (i = 0; i < threads; i++) {
    workers[i] = (Worker) {
    clip, segs, i, threads, streams, frames,
          g_malloc ((gsize) clip->width * clip->height), 0};
    pthread_create (&ids[i], NULL, worker_run, &workers[i]);
  }
  for (i = 0; i < threads; i++) {
    pthread_join (ids[i], NULL);
    failed |= workers[i].failed;
    g_free (workers[i].mask);
  }
  if (!failed)
    report ("capi", streams, frames, now_s () - t0, cpu_s () - c0, 0);
  for (i = 0; i < streams; i++)
    VidraSegmenterDestroy (segs[i]);
  g_free (segs);
  g_free (workers);
  g_free (ids);
  return failed;
}

int
main (int argc, char **argv)
{
  Clip clip;
  gint streams, frames;

  gst_init (&argc, &argv);
  if (argc < 7 || (strcmp (argv[1], "gst") != 0 && strcmp (argv[1],
              "capi") != 0) || (strcmp (argv[1], "capi") == 0 && argc < 9)) {
    fprintf (stderr, "usage: %s gst CLIP W H STREAMS FRAMES [BACKGROUND]\n"
        "       %s capi CLIP W H STREAMS FRAMES THREADS MODELS\n", argv[0],
        argv[0]);
    return 2;
  }
  if (!clip_load (&clip, argv[2], atoi (argv[3]), atoi (argv[4]))) {
    fprintf (stderr, "cannot read at least two %sx%s NV12 frames from %s\n",
        argv[3], argv[4], argv[2]);
    return 1;
  }
  streams = atoi (argv[5]);
  frames = atoi (argv[6]);
  if (strcmp (argv[1], "gst") == 0)
    return run_gst (&clip, streams, frames, argc > 7 ? argv[7] : "none");
  return run_capi (&clip, streams, frames, atoi (argv[7]), argv[8]);
}
