#pragma once

// Asks the kernel to back the heap with transparent huge pages while the
// panel is built, where the system allows it on request (Linux with glibc,
// 64-bit); elsewhere does nothing. Building a large plant makes hundreds of
// thousands of small allocations in one go, and on a virtual machine
// faulting in the heap 4 KiB at a time was a good part of the start-up.
// Only touched memory becomes resident: the resident size grows by at most
// the unused part of the pages in use.
void useLargeHeapPages();

// Once built: the heap grows and gives back memory in small steps again, so
// the reserve is returned; the pages in use stay as they are. (The C library
// no longer moves its thresholds by itself once one has been set.)
void endLargeHeapPages();
