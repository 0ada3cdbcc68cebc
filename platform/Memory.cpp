#include "platform/Memory.h"

#include <malloc.h>

namespace platform {

void KeepFreedHeapMemory() {
  constexpr int kMiB = 1 << 20;
  // A failure leaves the default, which only costs time.
  (void)::mallopt(M_TRIM_THRESHOLD, 64 * kMiB);
  (void)::mallopt(M_TOP_PAD, 16 * kMiB);
}

}  // namespace platform
