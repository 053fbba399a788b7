// The guard of every walk over offsets stored in the data file.
#ifndef TRAMOLE_DATAFILE_CYCLE_H
#define TRAMOLE_DATAFILE_CYCLE_H

#include <stdint.h>

// A walk follows the stored chain as it is, but a chain that leads back to
// a position already visited would go round for ever. The guard remembers
// one earlier position and moves it forward after laps of doubling length
// (Brent's cycle detection, constant memory); the walk ends when it comes
// round to the remembered position. By then every position of the cycle has
// been visited, so the walk has seen everything it would see unbounded, and
// it has taken at most about three times the steps of the chain itself.
struct CycleGuard {
  uint32_t remembered;
  uint64_t lap;
  uint64_t steps;
};

inline void CycleGuardStart(CycleGuard* guard, uint32_t first) {
  guard->remembered = first;
  guard->lap = 1;
  guard->steps = 0;
}

// Called with each next position before the walk moves there: 1 when it is
// the remembered one (the walk has come round and must end), else 0.
inline int CycleGuardComesRound(CycleGuard* guard, uint32_t next) {
  if (next == guard->remembered) return 1;
  if (++guard->steps == guard->lap) {
    guard->remembered = next;
    guard->lap *= 2;
    guard->steps = 0;
  }
  return 0;
}

#endif
