// The locus engine: moves the driver of a locus along its carrier,
// recomputes the chain from the driver to the traced object at each
// parameter and hands pairs of consecutive samples to a sink, refining the
// parameter intervals where the curve bends or the samples lie far apart.
// Drawing, hit tests, points on a locus, intersections and the sampling
// for equations all run it.
//
// A run works on one context, the top of a stack of contexts: a run started
// inside another one (a point on a locus inside the chain of a locus) gets
// its own, and the outer run finds its context as it left it.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct inter_list;

// What an intersection with a locus asks of the engine: the other object,
// the branch of the locus, how many crossings of that branch to skip and
// the selector passed on to the other object's intersect operation.
// `all` and `probe` mark the two modes that look at every branch.
struct locus_intersect_request {
  object* other;
  uint32_t branch;
  uint32_t skip;
  uint32_t mode;
  uint8_t all;
  uint8_t probe;
  inter_list* list;  // the caller's list in the all mode
};

// A sink gets the same branch's values at both ends of an interval and
// whether the segment between them belongs to the curve; true stops the run.
using locus_sink_fn = bool (*)(valeur* a, valeur* b, bool chord);

// At most four values per sample (a conic's envelope).
inline constexpr int kLocusMaxBranches = 4;
// Default smoothness thresholds: hit test, drawing, animation.
inline constexpr double kLocusHitThreshold = 0.98;
inline constexpr double kLocusDrawThreshold = 0.999;
inline constexpr double kLocusAnimThreshold = 0.999;
// A drawing or hit test slower than this (milliseconds) lowers the
// locus's thresholds for the next runs.
inline constexpr uint32_t kLocusSlowRunMs = 500;

// A locus driven on a grid steps through the nodes of the window the grid
// was drawn in; a window of more nodes than this gives no run.
inline constexpr int64_t kLocusMaxGridNodes = 1000000;

enum class locus_sink_kind : uint8_t { none, draw, hit, nearest, intersect };

struct locus_context {
  object* locus;
  object* driver;
  object* traced;
  // The traced object at the earlier parameter of an envelope sample.
  object traced_copy;
  valeur scratch[11];
  TErec* traced_te;
  object** chain;
  object** chain_end;
  valeur driver_value;
  math_info driver_math;
  uint16_t carrier_type;
  int32_t count;
  int nvals;
  uint16_t traced_type;
  int32_t (*intersect)(object*, object*, void*, uint32_t);
  double eps;
  // The sink and its data.
  locus_sink_kind kind;
  locus_sink_fn sink;
  tagPOINT hit;
  valeur* target;
  locus_intersect_request request;
  valeur* result;
  inter_list* scratch_list;  // owned by the run
  uint32_t crossings[kLocusMaxBranches];
  int branch;
  double best_distance;
  double best_fraction;
  double best_param;
  int branch_found;
  bool no_chord;
  // Drawing.
  uint8_t dash_phase[kLocusMaxBranches];
  bool dashed;
  uint8_t dash_on;
  uint8_t dash_period;
  DisplayDevice* dd;
  // Smoothness thresholds of the run.
  double threshold_a;
  double threshold_b;
  // The run's place in the stack.
  locus_context* outer;
};

// What the last run of locus_compute found: the parameter of the nearest
// point and the branch of the chord that stopped it or came nearest.
struct locus_run_outcome {
  double best_param;
  int branch_found;
};
extern locus_run_outcome locus_last_run;

// 1 while a run or a sampling is in progress.
extern uint8_t locus_busy;

// The context of the run in progress, or null.
locus_context* locus_current();

// The number of values per sample of a locus (1, 2 or 4) from its traced
// object's type.
int locus_value_count(const object* locus);

// Whether the locus's records make a run possible: a driver placed by its
// method on an existing carrier, a traced object that depends on it through
// the chain, and a point count the engine accepts.
bool locus_structure_ok(const object* locus);

bool locus_begin(object* locus);
void locus_end();
void locus_restore_chain();
bool locus_eval_at(double t, valeur* vals, valeur* drv);
bool locus_find_valid(double* t, double dt, valeur* vals, valeur* drv);
bool locus_needs_split(const valeur* a, const valeur* m, const valeur* b, const valeur* da, const valeur* dm,
                       const valeur* db);
bool locus_refine(double t0, double t1, const valeur* a, const valeur* b, const valeur* da, const valeur* db);
void locus_load_thresholds(const object* locus, double out[3]);
// One run with the sink chosen by the argument given (hit, target, result
// with req; none: drawing on dd). True when the sink stopped the run.
bool locus_compute(object* locus, const locus_intersect_request* req, const tagPOINT* hit, valeur* target,
                   valeur* result, DisplayDevice* dd = nullptr);
// Up to n samples spread over the parameter range into *buffer (allocated
// with n x values-per-sample values when null; the caller owns it). The
// number of samples filled.
int16_t locus_sample(object* locus, int16_t n, valeur** buffer);
