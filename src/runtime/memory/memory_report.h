// The memory report: the machine's and the process's memory situation, every region of the
// address space with the gaps between them, totals, and the pooled allocator's summary,
// written to "MemoryLog.txt" (rewritten by the first report of a run, appended to after).
#pragma once

#include <cstdio>

#include "platform/memory_info.h"
#include "runtime/memory/memory_space.h"

// Writes one report; the reason names the occasion.
void dump_mem_stats(const char* reason);
// The remote command "Dump Memory Info".
void DumpMemCmd();

// The size-scaling rule of every number of the report: the number and its unit letter.
unsigned mem_to_number(unsigned long long bytes);
char mem_to_suffix(unsigned long long bytes);
// The name of a region's sharing mode.
const char* sm_string(unsigned char mode);

// What a report is made of; tests feed synthetic sources.
struct memory_report_sources {
  platform_task_info task;
  platform_host_memory host;
  platform_region_walk* regions;  // not owned
  ned_mallinfo ned;
};
void write_memory_report(FILE* out, const char* reason, const memory_report_sources& sources);
