// Work on many files at once, reported as if done one after another.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// What one file's work came to: its exit status and what it wrote for the error stream.
struct TFileOutcome {
  int Status = 0;
  std::string Errors;
};

// The number of jobs a batch runs at once by default: one per core.
unsigned DefaultJobs();

// Runs Work(0) .. Work(Count - 1), Jobs of them at a time (Jobs 1: in order on this thread), and
// hands each outcome to Report on this thread in index order, as soon as it and every one
// before it are done. Work must not throw.
void RunInOrder(size_t Count, unsigned Jobs, const std::function<TFileOutcome(size_t)>& Work,
                const std::function<void(size_t, const TFileOutcome&)>& Report);
