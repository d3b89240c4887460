// The one value the component keeps between routines of a closing: the order
// type that the tracking plan stores before choosing the events of a container
// request, and that the tracking insert reads to decide whether each event
// queues a job.
//
// Lifetime: one value per thread (a thread is the apartment of the classic
// component), created empty when the thread first uses it, written on every
// run of the tracking plan that passes its guards, never reset, and gone with
// the thread. Concurrent closings on different threads never see each other's
// value; a later closing on the same thread overwrites it before reading it.
#pragma once

#include <cstdint>

namespace qrnmvl::closing {

inline thread_local std::int16_t tracking_order_type = 0;

}  // namespace qrnmvl::closing
