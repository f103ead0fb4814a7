#pragma once
// Figures of a running process as Linux tells them in /proc/<pid>/status and /proc/<pid>/stat.
#include <chrono>

namespace rankload {

// The field's value in kB ("VmHWM", the peak of its resident memory; "VmRSS", the resident
// memory now), or -1 when the process or the field is not there.
long StatusKb(long pid, const char* field);

// A process's processor time so far, user and system apart; false when it cannot be read.
struct ProcessorTime {
  std::chrono::microseconds user{};
  std::chrono::microseconds system{};
};
bool ReadProcessorTime(long pid, ProcessorTime& time);

}  // namespace rankload
