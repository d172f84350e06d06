/* Per-stream statistics, posted as an element message every N frames. */
#ifndef GST_VIDRA_STATS_H
#define GST_VIDRA_STATS_H

#include <gst/gst.h>

G_BEGIN_DECLS

/* One frame's costs in milliseconds. */
typedef struct {
  gboolean network_ran;
  gdouble input_ms;
  gdouble inference_ms;
  gdouble postprocess_ms;
  gdouble segment_ms;           /* the whole segmentation call */
  gdouble composite_ms;         /* refinement and compositing */
} GstVidraFrameCost;

typedef struct {
  guint64 frames;               /* since the element started */
  guint interval_frames;
  guint network_runs;
  gdouble input_ms, inference_ms, postprocess_ms, segment_ms, composite_ms;
} GstVidraStats;

void gst_vidra_stats_reset (GstVidraStats * stats);

/* Adds a frame. When interval > 0 and the interval is full, returns the
 * "vidra-stats" structure to post (the caller owns it) and starts the next
 * interval; otherwise NULL. */
GstStructure *gst_vidra_stats_add (GstVidraStats * stats,
    const GstVidraFrameCost * cost, guint interval);

G_END_DECLS

#endif
