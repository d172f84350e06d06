#include "gst/vidra_stats.h"

#include <string.h>

void
gst_vidra_stats_reset (GstVidraStats * stats)
{
  memset (stats, 0, sizeof (*stats));
}

GstStructure *
gst_vidra_stats_add (GstVidraStats * stats, const GstVidraFrameCost * cost,
    guint interval)
{
  GstStructure *s;
  gdouble n;

  stats->frames++;
  stats->interval_frames++;
  stats->network_runs += cost->network_ran ? 1 : 0;
  stats->input_ms += cost->input_ms;
  stats->inference_ms += cost->inference_ms;
  stats->postprocess_ms += cost->postprocess_ms;
  stats->segment_ms += cost->segment_ms;
  stats->composite_ms += cost->composite_ms;
  if (interval == 0 || stats->interval_frames < interval)
    return NULL;

  n = stats->interval_frames;
  s = gst_structure_new ("vidra-stats",
      "frames", G_TYPE_UINT64, stats->frames,
      "interval-frames", G_TYPE_UINT, stats->interval_frames,
      "network-runs", G_TYPE_UINT, stats->network_runs,
      "network-skips", G_TYPE_UINT, stats->interval_frames - stats->network_runs,
      "mean-input-ms", G_TYPE_DOUBLE, stats->input_ms / n,
      "mean-inference-ms", G_TYPE_DOUBLE, stats->inference_ms / n,
      "mean-postprocess-ms", G_TYPE_DOUBLE, stats->postprocess_ms / n,
      "mean-segment-ms", G_TYPE_DOUBLE, stats->segment_ms / n,
      "mean-composite-ms", G_TYPE_DOUBLE, stats->composite_ms / n, NULL);
  {
    guint64 frames = stats->frames;
    gst_vidra_stats_reset (stats);
    stats->frames = frames;
  }
  return s;
}
