#pragma once
// A figure of a running process as Linux tells it in /proc/<pid>/status.
namespace rankload {

// The field's value in kB ("VmHWM", the peak of its resident memory; "VmRSS", the resident
// memory now), or -1 when the process or the field is not there.
long StatusKb(long pid, const char* field);

}  // namespace rankload
